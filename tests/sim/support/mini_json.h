#pragma once
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace varnel::simtest {

// Just enough JSON reading to check the simulator's truth file and frame log.
struct Json {
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };
  Type type = Type::kNull;
  bool boolean = false;
  double number = 0;
  std::string string;          // \u00XX escapes come back as the single byte XX
  std::vector<Json> array;
  std::map<std::string, Json> object;

  const Json& operator[](const std::string& key) const;  // throws when missing
  const Json& operator[](std::size_t i) const { return array.at(i); }
  bool Has(const std::string& key) const { return object.count(key) != 0; }
  bool IsNull() const { return type == Type::kNull; }
  std::size_t size() const { return type == Type::kArray ? array.size() : object.size(); }
  long long Int() const { return static_cast<long long>(number); }
};

// Throws std::runtime_error on malformed text.
Json ParseJson(const std::string& text);
std::string ReadWholeFile(const std::string& path);

}  // namespace varnel::simtest
