#include "terminal_interaction.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

TEST(TerminalInteractionTest, QuestionsAreAnsweredNoWithoutPromptOrOption) {
  std::istringstream in("y\n");
  std::ostringstream out;
  qvx::TerminalInteraction ui(in, out);
  EXPECT_FALSE(ui.AskYesNo("Correct ?"));
  EXPECT_EQ(out.str(), "");  // nothing asked, nothing read
  ui.SetPrompt(true);
  EXPECT_TRUE(ui.AskYesNo("Correct ?"));
}

TEST(TerminalInteractionTest, AnOptionsAnswerHoldsForItsQuestionOnly) {
  std::istringstream in("n\n");
  std::ostringstream out;
  qvx::TerminalInteraction ui(in, out);
  ui.SetAnswer("Create it ?", true);
  ui.SetPrompt(true);
  EXPECT_TRUE(ui.AskYesNo("Create it ?"));
  EXPECT_FALSE(ui.AskYesNo("Continue ?"));
  EXPECT_EQ(out.str(), "Continue ? [y/n] ");
}

TEST(TerminalInteractionTest, PromptAcceptsYAndYesInAnyCaseAndNothingElse) {
  struct Case {
    const char* typed;
    bool yes;
  } cases[] = {{"y\n", true},     {"YES\n", true}, {"Yes \r\n", true}, {"n\n", false},
               {"yess\n", false}, {"\n", false},   {"", false}};
  for (const Case& c : cases) {
    std::istringstream in(c.typed);
    std::ostringstream out;
    qvx::TerminalInteraction ui(in, out);
    ui.SetPrompt(true);
    EXPECT_EQ(ui.AskYesNo("Q ?"), c.yes) << '"' << c.typed << '"';
  }
}

TEST(TerminalInteractionTest, NoticesGoToTheMessageStream) {
  std::istringstream in;
  std::ostringstream out;
  qvx::TerminalInteraction ui(in, out);
  ui.ShowNotice("Create Failed!");
  EXPECT_EQ(out.str(), "Create Failed!\n");
}

}  // namespace
