#include "primitives/text_fields.h"

#include <cstring>

int RTrim(char* field, int width) {
  if (field == nullptr || width < 0) return 1;
  int last = width - 1;
  while (last >= 0 && field[last] == ' ') --last;
  field[last + 1] = '\0';
  return 1;
}

int RPad(char* text, int width) {
  if (text == nullptr || width <= 0) return 1;
  const size_t length = std::strlen(text);
  const size_t target = static_cast<size_t>(width);
  if (length < target) std::memset(text + length, ' ', target - length);
  return 1;
}

int IsBlankOnly(const char* text) {
  if (text == nullptr) return 1;
  for (; *text != '\0'; ++text) {
    if (*text != ' ') return 0;
  }
  return 1;
}

int CountOccurences(const char* text, char character) {
  if (text == nullptr) return 0;
  int count = 0;
  for (; *text != '\0'; ++text) {
    if (*text == character) ++count;
  }
  return count;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string JoinParts(std::initializer_list<std::string_view> parts) {
  size_t size = 0;
  for (std::string_view part : parts) size += part.size();
  std::string joined;
  joined.reserve(size);
  for (std::string_view part : parts) joined.append(part);
  return joined;
}
