// The core's questions and notices on the terminal. Notices go to stderr. A
// question gets the answer set for its text, else, with prompting on, the
// answer typed on the terminal (y or yes, any letter case, is Yes), else No:
// qvx answers No unless an option names the question or --prompt is given.
#pragma once

#include <iosfwd>
#include <map>
#include <string>

#include "store/user_interaction.h"

namespace qvx {

class TerminalInteraction : public UserInteraction {
 public:
  // in and out must outlive the object.
  TerminalInteraction(std::istream& in, std::ostream& out);
  TerminalInteraction();  // std::cin and std::cerr

  void SetPrompt(bool prompt) { prompt_ = prompt; }
  // The fixed answer for the question of exactly this text.
  void SetAnswer(const std::string& question, bool yes) { answers_[question] = yes; }

  void ShowNotice(const char* text) override;
  bool AskYesNo(const char* text) override;

 private:
  std::istream& in_;
  std::ostream& out_;
  bool prompt_ = false;
  std::map<std::string, bool> answers_;
};

// Whether stderr is a terminal (where progress is shown), not a file or pipe.
bool StderrIsTerminal();

}  // namespace qvx
