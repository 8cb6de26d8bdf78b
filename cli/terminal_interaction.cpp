#include "terminal_interaction.h"

#include <iostream>
#include <string>

#include "primitives/text_fields.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace qvx {

TerminalInteraction::TerminalInteraction(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

TerminalInteraction::TerminalInteraction() : TerminalInteraction(std::cin, std::cerr) {}

void TerminalInteraction::ShowNotice(const char* text) {
  out_ << text << '\n';
}

bool TerminalInteraction::AskYesNo(const char* text) {
  auto fixed = answers_.find(text);
  if (fixed != answers_.end()) return fixed->second;
  if (!prompt_) return false;
  out_ << text << " [y/n] " << std::flush;
  std::string answer;
  if (!std::getline(in_, answer)) return false;
  while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' ')) answer.pop_back();
  for (char& c : answer) c = LowerAscii(c);
  return answer == "y" || answer == "yes";
}

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(2) != 0;
#else
  return isatty(2) != 0;
#endif
}

}  // namespace qvx
