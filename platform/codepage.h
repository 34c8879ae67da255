// The system code page. On this platform it is UTF-8: texts, passwords and
// file contents are UTF-8 bytes. Decoding follows the WHATWG rules, so an
// invalid or truncated sequence becomes one U+FFFD and decoding goes on.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel::platform {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes one character starting at `p` (which must be before `end`) and
// advances `p` past it.
inline char32_t DecodeSystemChar(const unsigned char*& p, const unsigned char* end) {
  unsigned char lead = *p++;
  if (lead < 0x80) return lead;
  int needed;
  char32_t cp;
  unsigned char lower = 0x80, upper = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    needed = 1;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    needed = 2;
    cp = lead & 0x0F;
    if (lead == 0xE0) lower = 0xA0;
    if (lead == 0xED) upper = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    needed = 3;
    cp = lead & 0x07;
    if (lead == 0xF0) lower = 0x90;
    if (lead == 0xF4) upper = 0x8F;  // nothing above U+10FFFF
  } else {
    return kReplacementCharacter;
  }
  for (int i = 0; i < needed; ++i) {
    if (p == end || *p < lower || *p > upper) return kReplacementCharacter;
    cp = (cp << 6) | (*p++ & 0x3F);
    lower = 0x80;
    upper = 0xBF;
  }
  return cp;
}

// Appends `cp` in the system code page.
inline void AppendSystemChar(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// The whole text as code points.
std::u32string DecodeSystemText(std::string_view text);

}  // namespace quorvel::platform
