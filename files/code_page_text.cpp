#include "files/code_page_text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace varnel {

namespace {

constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

#ifdef _WIN32
std::wstring Widen(std::string_view text, UINT codePage) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) {
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  }
  return wide;
}

std::string Narrow(const std::wstring& wide, UINT codePage) {
  if (wide.empty()) return {};
  const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
  const int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, fallback, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        fallback, nullptr);
  }
  return out;
}
#else
// The next code point of a UTF-8 text; a broken sequence gives U+FFFD.
char32_t NextCodePoint(std::string_view s, std::size_t& i) {
  const auto b = static_cast<unsigned char>(s[i++]);
  if (b < 0x80) return b;
  const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
  if (extra < 0 || i + static_cast<std::size_t>(extra) > s.size()) return 0xFFFD;
  char32_t cp = b & (0x3F >> extra);
  for (int k = 0; k < extra; ++k, ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if ((c & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (c & 0x3F);
  }
  return cp;
}
#endif

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char32_t Cp1252ToUnicode(unsigned char byte) {
  return (byte >= 0x80 && byte < 0xA0) ? kCp1252High[byte - 0x80] : byte;
}

std::string CodePageToUtf8(std::string_view bytes) {
#ifdef _WIN32
  return Narrow(Widen(bytes, CP_ACP), CP_UTF8);
#else
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) AppendUtf8(out, Cp1252ToUnicode(static_cast<unsigned char>(c)));
  return out;
#endif
}

std::string Utf8ToCodePage(std::string_view utf8) {
#ifdef _WIN32
  return Narrow(Widen(utf8, CP_UTF8), CP_ACP);
#else
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const char32_t cp = NextCodePoint(utf8, i);
    char byte = '?';
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      byte = static_cast<char>(cp);
    } else {
      for (int k = 0; k < 32; ++k) {
        if (kCp1252High[k] == cp) byte = static_cast<char>(0x80 + k);
      }
    }
    out += byte;
  }
  return out;
#endif
}

}  // namespace varnel
