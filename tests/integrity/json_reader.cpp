#include "json_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace integrity_testing {

namespace {

class Reader {
 public:
  explicit Reader(const std::string& text) : text_(text) {}

  bool Document(JsonValue* value) {
    Blanks();
    if (!Value(value)) return false;
    Blanks();
    return at_ == text_.size();
  }
  size_t At() const { return at_; }

 private:
  bool Value(JsonValue* value) {
    if (at_ >= text_.size()) return false;
    switch (text_[at_]) {
      case '{':
        return Object(value);
      case '[':
        return Array(value);
      case '"':
        value->kind = JsonValue::Kind::String;
        return String(&value->text);
      case 't':
        value->kind = JsonValue::Kind::Bool;
        value->boolean = true;
        return Word("true");
      case 'f':
        value->kind = JsonValue::Kind::Bool;
        return Word("false");
      case 'n':
        value->kind = JsonValue::Kind::Null;
        return Word("null");
      default:
        return Number(value);
    }
  }
  bool Object(JsonValue* value) {
    value->kind = JsonValue::Kind::Object;
    ++at_;
    Blanks();
    if (Take('}')) return true;
    do {
      Blanks();
      std::string key;
      if (!String(&key)) return false;
      Blanks();
      if (!Take(':')) return false;
      Blanks();
      JsonValue member;
      if (!Value(&member)) return false;
      value->members.emplace_back(key, std::move(member));
      Blanks();
    } while (Take(','));
    return Take('}');
  }
  bool Array(JsonValue* value) {
    value->kind = JsonValue::Kind::Array;
    ++at_;
    Blanks();
    if (Take(']')) return true;
    do {
      Blanks();
      JsonValue item;
      if (!Value(&item)) return false;
      value->items.push_back(std::move(item));
      Blanks();
    } while (Take(','));
    return Take(']');
  }
  bool String(std::string* out) {
    if (!Take('"')) return false;
    while (at_ < text_.size()) {
      const unsigned char c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c != '\\') {
        out->push_back(static_cast<char>(c));
        continue;
      }
      if (at_ >= text_.size()) return false;
      const char escape = text_[at_++];
      switch (escape) {
        case '"':
        case '\\':
        case '/':
          out->push_back(escape);
          break;
        case 'b':
          out->push_back('\b');
          break;
        case 'f':
          out->push_back('\f');
          break;
        case 'n':
          out->push_back('\n');
          break;
        case 'r':
          out->push_back('\r');
          break;
        case 't':
          out->push_back('\t');
          break;
        case 'u': {
          if (at_ + 4 > text_.size()) return false;
          char* end = nullptr;
          const std::string hex = text_.substr(at_, 4);
          const long code = std::strtol(hex.c_str(), &end, 16);
          if (end != hex.c_str() + 4 || code >= 0x800) return false;  // enough for these documents
          at_ += 4;
          if (code < 0x80) {
            out->push_back(static_cast<char>(code));
          } else {
            out->push_back(static_cast<char>(0xC0 | (code >> 6)));
            out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
          }
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }
  bool Number(JsonValue* value) {
    value->kind = JsonValue::Kind::Number;
    const size_t start = at_;
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    const size_t digits = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
    if (at_ == digits || (text_[digits] == '0' && at_ - digits > 1)) return false;
    value->number = std::strtod(text_.substr(start, at_ - start).c_str(), nullptr);
    return true;
  }
  bool Word(const char* word) {
    const std::string w(word);
    if (text_.compare(at_, w.size(), w) != 0) return false;
    at_ += w.size();
    return true;
  }
  bool Take(char c) {
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  void Blanks() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t')) {
      ++at_;
    }
  }

  const std::string& text_;
  size_t at_ = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const {
  for (const auto& [name, member] : members) {
    if (name == key) return member;
  }
  ADD_FAILURE() << "no member " << key;
  static const JsonValue kNull;
  return kNull;
}

bool JsonValue::Has(const std::string& key) const {
  for (const auto& member : members) {
    if (member.first == key) return true;
  }
  return false;
}

bool ParseJson(const std::string& text, JsonValue* value, std::string* error) {
  Reader reader(text);
  if (reader.Document(value)) return true;
  *error = "JSON fault at offset " + std::to_string(reader.At());
  return false;
}

}  // namespace integrity_testing
