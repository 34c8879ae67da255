// Helpers for the pages a lock run writes: plain-text files shown as text,
// and the placeholder replacement of templates.
#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// True when the last four characters of `path` are ".txt" in any letter case.
bool IsTextFilePath(std::string_view path);

// A minimal UTF-8 HTML document that shows `text` as text: the text escaped
// ('&', '<', '>') inside one <pre> block, `title` as the page title.
std::string WrapTextAsPage(std::string_view title, std::string_view text);

// Replaces every occurrence of `placeholder` in `text`, scanning left to
// right; replaced text is not searched again.
void ReplaceAll(std::string& text, std::string_view placeholder, std::string_view value);

// `bytes` up to its first zero byte.
std::string_view UpToFirstZero(std::string_view bytes);

}  // namespace quorvel
