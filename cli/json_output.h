// qvx's JSON documents: objects that keep their keys in the order they are
// set, printed on one line. Every text put in is UTF-8: names converted from
// their code page, paths through PathTextUtf8.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace qvx {

using Json = nlohmann::ordered_json;

// The document and a line end on stdout. A byte that is not UTF-8 after all
// is printed as U+FFFD rather than failing the command.
void PrintJson(const Json& document);

// A count or size that may be unknown: null when negative.
inline Json CountOrNull(int64_t value) {
  return value < 0 ? Json() : Json(value);
}

// A text that may be absent: null when empty.
inline Json TextOrNull(const std::string& text) {
  return text.empty() ? Json() : Json(text);
}

}  // namespace qvx
