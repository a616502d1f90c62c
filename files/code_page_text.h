#pragma once
#include <string>
#include <string_view>

// The logger keeps its texts (identity text, comment) as 8-bit bytes of the Windows code
// page of the PC that wrote them, and the data files store them as such. The program
// itself works in UTF-8. These two functions are the one rule between the two: on Windows
// the system's ANSI code page, elsewhere Windows-1252 (Latin-1 with the printable
// characters Windows puts at 0x80 ... 0x9F).
namespace varnel {

std::string CodePageToUtf8(std::string_view bytes);
// Characters the code page cannot hold become "?".
std::string Utf8ToCodePage(std::string_view utf8);

// The code point of one Windows-1252 byte; the five bytes that code page leaves unassigned
// keep their C1 control code points, as the Windows conversion does.
char32_t Cp1252ToUnicode(unsigned char byte);

// Appends one code point of the Basic Multilingual Plane as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace varnel
