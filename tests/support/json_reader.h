#pragma once
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::testsupport {

// A parsed JSON value: enough of JSON for the simulator's truth file and frame log. Every
// accessor checks the kind and throws std::runtime_error on a mismatch.
// Strings keep \u00XX escapes as single bytes (the logger's texts are code-page bytes).
class Json {
 public:
  enum class Kind { Null, Bool, Number, String, Array, Object };

  Kind kind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::Null; }
  bool AsBool() const;
  double AsNumber() const;
  long long AsInt() const { return static_cast<long long>(AsNumber()); }
  const std::string& AsString() const;
  const std::vector<Json>& AsArray() const;
  // The member `key`; throws when this is not an object or has no such member.
  const Json& operator[](const std::string& key) const;
  bool Has(const std::string& key) const;
  const Json& operator[](std::size_t i) const { return AsArray().at(i); }
  // The number of elements of an array or members of an object; throws for other kinds.
  std::size_t size() const;

  // Throws std::runtime_error with the position on malformed text.
  static Json Parse(std::string_view text);

 private:
  friend class JsonParser;
  Kind kind_ = Kind::Null;
  bool bool_ = false;
  double number_ = 0;
  std::string string_;
  std::vector<Json> array_;
  std::map<std::string, Json> object_;
};

// "0a1bff" -> {0x0a, 0x1b, 0xff}.
std::vector<unsigned char> HexToBytes(std::string_view hex);

// Everything in a file, as bytes (empty when it cannot be read).
std::string ReadWholeFile(const std::string& path);

}  // namespace varnel::testsupport
