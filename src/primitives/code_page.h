// The single-byte code pages that names and symbols are stored in, and their
// conversion to and from UTF-8 for text that leaves or enters the program.
#pragma once

#include <optional>
#include <string>
#include <string_view>

enum class CodePage {
  Windows1252,  // what the format's writers use on Western systems; the default
  Latin1,       // ISO 8859-1
};

// The code page a user names: "windows-1252" (also "cp1252", "1252") or
// "iso-8859-1" (also "latin1"), without regard to case; nothing for any other.
std::optional<CodePage> CodePageNamed(std::string_view name);

// Every stored byte as the character the code page gives it, in UTF-8. The
// five bytes Windows-1252 leaves undefined become the control characters of
// the same number, as Windows converts them, so that every byte comes back.
std::string ToUtf8(std::string_view stored, CodePage page);

// The UTF-8 text in the code page; nothing when the text is not valid UTF-8 or
// holds a character the code page has no byte for.
std::optional<std::string> FromUtf8(std::string_view utf8, CodePage page);

// Whether the text is valid UTF-8 (no malformed, overlong or surrogate
// sequence): a name the system gave, which needs no conversion.
bool IsUtf8(std::string_view text);
