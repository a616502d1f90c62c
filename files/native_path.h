#pragma once
#include <filesystem>
#include <string>
#include <string_view>

// Paths travel between the window logic and the workers as std::filesystem::path. The
// window logic keeps its texts in UTF-8; these turn such a text into a path and back, in
// the platform's own file-name encoding (wide characters on Windows, where a narrow path
// would be read in the ANSI code page and lose every character outside it).
namespace varnel {

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace varnel
