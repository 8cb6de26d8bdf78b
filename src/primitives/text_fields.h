// Fixed-width blank-padded text fields (the name and symbol of a master record),
// and texts compared without regard to the case of ASCII letters.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// field holds width characters followed by at least one more byte; trailing
// blanks are cut by writing a terminator after the last non-blank. Returns 1.
int RTrim(char* field, int width);
// Pads text with blanks up to width bytes (no terminator written); a text of
// width characters or more is left alone. Returns 1.
int RPad(char* text, int width);
int IsBlankOnly(const char* text);
int CountOccurences(const char* text, char character);
// The ASCII capital letters in lower case; every other byte as it is.
inline char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
// Whether a comes before b with ASCII letters taken in lower case (bytes
// compared as char, as the listings of a directory have always been ordered).
inline bool LessNoCase(std::string_view a, std::string_view b) {
  const size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    if (a[i] == b[i]) continue;
    const char x = LowerAscii(a[i]), y = LowerAscii(b[i]);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}
// Whether the texts are equal with ASCII letters taken without regard to
// case; other bytes must be equal.
bool EqualNoCase(std::string_view a, std::string_view b);
// The parts one after the other: a message built from texts and numbers
// without operator+ on string literals (GCC 12 warns falsely there).
std::string JoinParts(std::initializer_list<std::string_view> parts);
