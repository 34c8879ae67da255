#include "engine/text_page.h"

#include <cstring>

namespace quorvel {
namespace {

void AppendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
}

}  // namespace

bool IsTextFilePath(std::string_view path) {
  if (path.size() < 4) return false;
  std::string_view ending = path.substr(path.size() - 4);
  static constexpr char kTxt[] = ".txt";
  for (int i = 0; i < 4; ++i) {
    char c = ending[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kTxt[i]) return false;
  }
  return true;
}

std::string WrapTextAsPage(std::string_view title, std::string_view text) {
  std::string page;
  page.reserve(text.size() + text.size() / 16 + 160 + title.size());
  page += "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>";
  AppendEscaped(page, title);
  page += "</title>\n</head>\n<body>\n<pre>";
  AppendEscaped(page, text);
  page += "</pre>\n</body>\n</html>\n";
  return page;
}

void ReplaceAll(std::string& text, std::string_view placeholder, std::string_view value) {
  if (placeholder.empty()) return;
  std::size_t found = text.find(placeholder);
  if (found == std::string::npos) return;
  std::string result;
  result.reserve(text.size() + value.size());
  std::size_t from = 0;
  while (found != std::string::npos) {
    result.append(text, from, found - from);
    result.append(value);
    from = found + placeholder.size();
    found = text.find(placeholder, from);
  }
  result.append(text, from, std::string::npos);
  text = std::move(result);
}

std::string_view UpToFirstZero(std::string_view bytes) {
  const void* zero = std::memchr(bytes.data(), 0, bytes.size());
  if (!zero) return bytes;
  return bytes.substr(0, static_cast<std::size_t>(static_cast<const char*>(zero) - bytes.data()));
}

}  // namespace quorvel
