// qvx's JSON documents, written as they are built.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace qvx {

// A small writer of compact JSON. Texts from data files are bytes of no known
// encoding: bytes from 0x80 up are written as the Latin-1 characters they
// would be, so the output is always valid UTF-8 JSON.
class Json {
 public:
  Json& BeginObject() { return Open('{'); }
  Json& EndObject() { return Close('}'); }
  Json& BeginArray() { return Open('['); }
  Json& EndArray() { return Close(']'); }
  Json& Key(const char* key) {
    Separate();
    AppendString(key);
    text_ += ':';
    afterKey_ = true;
    return *this;
  }
  Json& String(const std::string& value) {
    Separate();
    AppendString(value);
    return *this;
  }
  Json& Number(int64_t value) {
    Separate();
    text_ += std::to_string(value);
    return *this;
  }
  Json& Bool(bool value) {
    Separate();
    text_ += value ? "true" : "false";
    return *this;
  }
  Json& StringOrNull(const std::string& value) {
    if (!value.empty()) return String(value);
    Separate();
    text_ += "null";
    return *this;
  }
  Json& Numbers(const std::vector<int32_t>& values) {
    BeginArray();
    for (int32_t value : values) Number(value);
    return EndArray();
  }
  Json& Strings(const std::vector<std::string>& values) {
    BeginArray();
    for (const std::string& value : values) String(value);
    return EndArray();
  }
  Json& Text(const char* key, const std::string& value) { return Key(key).String(value); }
  Json& TextOrNull(const char* key, const std::string& value) { return Key(key).StringOrNull(value); }
  Json& Int(const char* key, int64_t value) { return Key(key).Number(value); }
  // A count or size that may be unknown: null when negative.
  Json& CountOrNull(const char* key, int64_t value) {
    return value < 0 ? Key(key).StringOrNull("") : Int(key, value);
  }
  Json& Ints(const char* key, const std::vector<int32_t>& values) { return Key(key).Numbers(values); }
  Json& Flag(const char* key, bool value) { return Key(key).Bool(value); }
  const std::string& Document() const { return text_; }

 private:
  Json& Open(char bracket) {
    Separate();
    text_ += bracket;
    first_ = true;
    return *this;
  }
  Json& Close(char bracket) {
    text_ += bracket;
    first_ = false;
    return *this;
  }
  void Separate() {
    if (afterKey_) {
      afterKey_ = false;
      return;
    }
    if (!first_) text_ += ',';
    first_ = false;
  }
  void AppendString(const std::string& value) {
    text_ += '"';
    for (unsigned char c : value) {
      if (c == '"' || c == '\\') {
        text_ += '\\';
        text_ += static_cast<char>(c);
      } else if (c < 0x20) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
        text_ += escaped;
      } else if (c >= 0x80) {
        text_ += static_cast<char>(0xC0 | (c >> 6));
        text_ += static_cast<char>(0x80 | (c & 0x3F));
      } else {
        text_ += static_cast<char>(c);
      }
    }
    text_ += '"';
  }

  std::string text_;
  bool first_ = true;
  bool afterKey_ = false;
};

}  // namespace qvx
