#include "tests/support/json_reader.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace varnel::testsupport {

namespace {
[[noreturn]] void Fail(std::string_view what) { throw std::runtime_error(std::string(what)); }
}  // namespace

class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : s_(text) {}

  Json Document() {
    Json v = Value();
    Skip();
    if (p_ != s_.size()) Error("text after the value");
    return v;
  }

 private:
  [[noreturn]] void Error(const char* what) const {
    Fail("JSON: " + std::string(what) + " at offset " + std::to_string(p_));
  }
  void Skip() {
    while (p_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[p_]))) ++p_;
  }
  bool Eat(char c) {
    Skip();
    if (p_ < s_.size() && s_[p_] == c) {
      ++p_;
      return true;
    }
    return false;
  }
  void Expect(char c) {
    if (!Eat(c)) Error("unexpected character");
  }
  bool Word(std::string_view w) {
    if (s_.substr(p_, w.size()) != w) return false;
    p_ += w.size();
    return true;
  }

  Json Value() {
    Skip();
    if (p_ >= s_.size()) Error("unexpected end");
    Json v;
    const char c = s_[p_];
    if (c == '{') {
      ++p_;
      v.kind_ = Json::Kind::Object;
      if (Eat('}')) return v;
      do {
        Skip();
        std::string key = String();
        Expect(':');
        v.object_[key] = Value();
      } while (Eat(','));
      Expect('}');
    } else if (c == '[') {
      ++p_;
      v.kind_ = Json::Kind::Array;
      if (Eat(']')) return v;
      do {
        v.array_.push_back(Value());
      } while (Eat(','));
      Expect(']');
    } else if (c == '"') {
      v.kind_ = Json::Kind::String;
      v.string_ = String();
    } else if (Word("true")) {
      v.kind_ = Json::Kind::Bool;
      v.bool_ = true;
    } else if (Word("false")) {
      v.kind_ = Json::Kind::Bool;
    } else if (Word("null")) {
      v.kind_ = Json::Kind::Null;
    } else {
      const std::string rest(s_.substr(p_, 64));
      char* end = nullptr;
      v.number_ = std::strtod(rest.c_str(), &end);
      if (end == rest.c_str()) Error("not a value");
      p_ += static_cast<std::size_t>(end - rest.c_str());
      v.kind_ = Json::Kind::Number;
    }
    return v;
  }

  std::string String() {
    if (p_ >= s_.size() || s_[p_] != '"') Error("expected a string");
    ++p_;
    std::string out;
    while (p_ < s_.size() && s_[p_] != '"') {
      char c = s_[p_++];
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (p_ >= s_.size()) Error("unfinished escape");
      c = s_[p_++];
      switch (c) {
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'u': {
          if (p_ + 4 > s_.size()) Error("short \\u escape");
          const unsigned code = static_cast<unsigned>(std::strtoul(std::string(s_.substr(p_, 4)).c_str(), nullptr, 16));
          p_ += 4;
          if (code > 0xFF) Error("\\u escape beyond one byte");
          out.push_back(static_cast<char>(code));
          break;
        }
        default: out.push_back(c);
      }
    }
    if (p_ >= s_.size()) Error("unfinished string");
    ++p_;
    return out;
  }

  std::string_view s_;
  std::size_t p_ = 0;
};

bool Json::AsBool() const {
  if (kind_ != Kind::Bool) Fail("JSON: not a boolean");
  return bool_;
}
double Json::AsNumber() const {
  if (kind_ != Kind::Number) Fail("JSON: not a number");
  return number_;
}
const std::string& Json::AsString() const {
  if (kind_ != Kind::String) Fail("JSON: not a string");
  return string_;
}
const std::vector<Json>& Json::AsArray() const {
  if (kind_ != Kind::Array) Fail("JSON: not an array");
  return array_;
}
const Json& Json::operator[](const std::string& key) const {
  if (kind_ != Kind::Object) Fail("JSON: not an object");
  const auto it = object_.find(key);
  if (it == object_.end()) Fail("JSON: no member " + key);
  return it->second;
}
std::size_t Json::size() const {
  if (kind_ == Kind::Object) return object_.size();
  return AsArray().size();
}
bool Json::Has(const std::string& key) const {
  return kind_ == Kind::Object && object_.count(key) > 0;
}

Json Json::Parse(std::string_view text) { return JsonParser(text).Document(); }

std::vector<unsigned char> HexToBytes(std::string_view hex) {
  std::vector<unsigned char> out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<unsigned char>(std::strtoul(std::string(hex.substr(i, 2)).c_str(), nullptr, 16)));
  }
  return out;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace varnel::testsupport
