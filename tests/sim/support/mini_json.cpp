#include "tests/sim/support/mini_json.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace varnel::simtest {

namespace {

class Parser {
 public:
  explicit Parser(const std::string& s) : s_(s) {}

  Json Document() {
    Json v = Value();
    Space();
    if (i_ != s_.size()) Fail("trailing text");
    return v;
  }

 private:
  [[noreturn]] void Fail(const std::string& why) {
    throw std::runtime_error("JSON: " + why + " at offset " + std::to_string(i_));
  }
  void Space() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t')) ++i_;
  }
  bool Take(const char* word) {
    const std::string w(word);
    if (s_.compare(i_, w.size(), w) != 0) return false;
    i_ += w.size();
    return true;
  }
  Json Value() {
    Space();
    if (i_ >= s_.size()) Fail("unexpected end");
    Json v;
    const char c = s_[i_];
    if (c == '{') {
      v.type = Json::Type::kObject;
      ++i_;
      Space();
      if (i_ < s_.size() && s_[i_] == '}') {
        ++i_;
        return v;
      }
      for (;;) {
        Space();
        if (i_ >= s_.size() || s_[i_] != '"') Fail("key expected");
        const std::string key = String();
        Space();
        if (i_ >= s_.size() || s_[i_++] != ':') Fail("':' expected");
        v.object[key] = Value();
        Space();
        if (i_ < s_.size() && s_[i_] == ',') { ++i_; continue; }
        if (i_ < s_.size() && s_[i_] == '}') { ++i_; return v; }
        Fail("',' or '}' expected");
      }
    }
    if (c == '[') {
      v.type = Json::Type::kArray;
      ++i_;
      Space();
      if (i_ < s_.size() && s_[i_] == ']') {
        ++i_;
        return v;
      }
      for (;;) {
        v.array.push_back(Value());
        Space();
        if (i_ < s_.size() && s_[i_] == ',') { ++i_; continue; }
        if (i_ < s_.size() && s_[i_] == ']') { ++i_; return v; }
        Fail("',' or ']' expected");
      }
    }
    if (c == '"') {
      v.type = Json::Type::kString;
      v.string = String();
      return v;
    }
    if (Take("true")) { v.type = Json::Type::kBool; v.boolean = true; return v; }
    if (Take("false")) { v.type = Json::Type::kBool; return v; }
    if (Take("null")) return v;
    char* end = nullptr;
    v.number = std::strtod(s_.c_str() + i_, &end);
    if (end == s_.c_str() + i_) Fail("value expected");
    i_ = static_cast<std::size_t>(end - s_.c_str());
    v.type = Json::Type::kNumber;
    return v;
  }
  std::string String() {
    ++i_;  // opening quote
    std::string out;
    while (i_ < s_.size() && s_[i_] != '"') {
      char c = s_[i_++];
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (i_ >= s_.size()) Fail("bad escape");
      c = s_[i_++];
      switch (c) {
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u': {
          if (i_ + 4 > s_.size()) Fail("bad \\u escape");
          const long code = std::strtol(s_.substr(i_, 4).c_str(), nullptr, 16);
          if (code > 0xFF) Fail("only single-byte characters expected");
          out.push_back(static_cast<char>(code));
          i_ += 4;
          break;
        }
        default: out.push_back(c);
      }
    }
    if (i_ >= s_.size()) Fail("unterminated string");
    ++i_;
    return out;
  }

  const std::string& s_;
  std::size_t i_ = 0;
};

}  // namespace

const Json& Json::operator[](const std::string& key) const {
  const auto it = object.find(key);
  if (it == object.end()) throw std::runtime_error("JSON: no key " + key);
  return it->second;
}

Json ParseJson(const std::string& text) { return Parser(text).Document(); }

std::string ReadWholeFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

}  // namespace varnel::simtest
