// A strict reader of JSON documents, so tests can check that what qvx prints
// parses and holds what it should.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace integrity_testing {

struct JsonValue {
  enum class Kind { Null, Bool, Number, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;
  std::vector<std::pair<std::string, JsonValue>> members;

  // The member of that key; a test failure (and a null value) when absent.
  const JsonValue& operator[](const std::string& key) const;
  const JsonValue& operator[](size_t index) const { return items.at(index); }
  bool Has(const std::string& key) const;
  int Int() const { return static_cast<int>(number); }
};

// True and *value when the whole text is one JSON value (surrounding blanks
// allowed); false with the offset of the fault in *error otherwise.
bool ParseJson(const std::string& text, JsonValue* value, std::string* error);

}  // namespace integrity_testing
