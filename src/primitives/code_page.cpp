#include "primitives/code_page.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "primitives/text_fields.h"

namespace {

// Windows-1252's bytes 0x80-0x9F; the undefined ones keep their own number.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t CharacterOf(unsigned char byte, CodePage page) {
  if (page == CodePage::Windows1252 && byte >= 0x80 && byte < 0xA0) return kWindows1252High[byte - 0x80];
  return byte;
}

std::optional<unsigned char> ByteOf(char32_t character, CodePage page) {
  if (page == CodePage::Windows1252) {
    const auto* found = std::find(kWindows1252High.begin(), kWindows1252High.end(), character);
    if (found != kWindows1252High.end()) return static_cast<unsigned char>(0x80 + (found - kWindows1252High.begin()));
    if (character >= 0x80 && character < 0xA0) return std::nullopt;
  }
  if (character < 0x100) return static_cast<unsigned char>(character);
  return std::nullopt;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The character that starts at text[at], advancing at past it; nothing for a
// malformed, overlong or surrogate sequence.
std::optional<char32_t> NextUtf8(std::string_view text, size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at++]);
  if (lead < 0x80) return lead;
  const int more = lead >= 0xF0 && lead < 0xF5 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : -1;
  if (more < 0 || text.size() - at < static_cast<size_t>(more)) return std::nullopt;
  char32_t c = lead & (0x3F >> more);
  for (int i = 0; i < more; ++i) {
    const auto next = static_cast<unsigned char>(text[at++]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    c = (c << 6) | (next & 0x3F);
  }
  constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  if (c < kLeast[more] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return std::nullopt;
  return c;
}

}  // namespace

std::optional<CodePage> CodePageNamed(std::string_view name) {
  for (std::string_view known : {"windows-1252", "cp1252", "1252"})
    if (EqualNoCase(name, known)) return CodePage::Windows1252;
  for (std::string_view known : {"iso-8859-1", "latin1"})
    if (EqualNoCase(name, known)) return CodePage::Latin1;
  return std::nullopt;
}

std::string ToUtf8(std::string_view stored, CodePage page) {
  std::string out;
  out.reserve(stored.size());
  for (const char byte : stored) AppendUtf8(out, CharacterOf(static_cast<unsigned char>(byte), page));
  return out;
}

std::optional<std::string> FromUtf8(std::string_view utf8, CodePage page) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    const std::optional<char32_t> c = NextUtf8(utf8, at);
    const std::optional<unsigned char> byte = c ? ByteOf(*c, page) : std::nullopt;
    if (!byte) return std::nullopt;
    out += static_cast<char>(*byte);
  }
  return out;
}

bool IsUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    if (!NextUtf8(text, at)) return false;
  }
  return true;
}
