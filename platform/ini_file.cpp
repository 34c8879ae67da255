#include "platform/ini_file.h"

#include "platform/file_system.h"

namespace quorvel::platform {
namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

enum class LineKind { kOther, kSection, kKey };

struct ParsedLine {
  LineKind kind = LineKind::kOther;
  std::string_view name;   // section or key name, trimmed
  std::size_t valueStart = 0;  // keys: offset of the value in the line
};

ParsedLine Parse(std::string_view content) {
  ParsedLine parsed;
  std::string_view text = Trim(content);
  if (text.empty() || text.front() == ';') return parsed;
  if (text.front() == '[') {
    std::string_view name = text.substr(1);
    name = name.substr(0, name.find(']'));
    parsed.kind = LineKind::kSection;
    parsed.name = Trim(name);
    return parsed;
  }
  std::size_t equals = content.find('=');
  if (equals == std::string_view::npos) return parsed;
  std::string_view key = Trim(content.substr(0, equals));
  if (key.empty()) return parsed;
  parsed.kind = LineKind::kKey;
  parsed.name = key;
  parsed.valueStart = equals + 1;
  return parsed;
}

// The value as the private-profile reader hands it out: trimmed, and
// without one pair of matching quotes around it.
std::string CleanValue(std::string_view raw) {
  std::string_view value = Trim(raw);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

std::string_view FirstLineOf(std::string_view value) {
  return value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
}

}  // namespace

IniDocument::IniDocument(std::string_view text) {
  if (text.starts_with(kUtf8ByteOrderMark)) {
    byteOrderMark_ = kUtf8ByteOrderMark;
    text.remove_prefix(kUtf8ByteOrderMark.size());
  }
  bool newlineKnown = false;
  while (!text.empty()) {
    std::size_t end = text.find_first_of("\r\n");
    Line line;
    if (end == std::string_view::npos) {
      line.content = text;
      text = {};
    } else {
      std::size_t endingLength = text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
      line.content = text.substr(0, end);
      line.ending = text.substr(end, endingLength);
      text.remove_prefix(end + endingLength);
      if (!newlineKnown) {
        newline_ = line.ending;
        newlineKnown = true;
      }
    }
    lines_.push_back(std::move(line));
  }
}

int IniDocument::FindSection(std::string_view section) const {
  std::string_view wanted = Trim(section);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    ParsedLine parsed = Parse(lines_[i].content);
    if (parsed.kind == LineKind::kSection && EqualNoCase(parsed.name, wanted)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

int IniDocument::SectionEnd(int header) const {
  int i = header + 1;
  while (i < static_cast<int>(lines_.size()) &&
         Parse(lines_[static_cast<std::size_t>(i)].content).kind != LineKind::kSection) {
    ++i;
  }
  return i;
}

int IniDocument::FindKey(int begin, int end, std::string_view key) const {
  std::string_view wanted = Trim(key);
  for (int i = begin; i < end; ++i) {
    ParsedLine parsed = Parse(lines_[static_cast<std::size_t>(i)].content);
    if (parsed.kind == LineKind::kKey && EqualNoCase(parsed.name, wanted)) return i;
  }
  return -1;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
  int header = FindSection(section);
  if (header < 0) return std::nullopt;
  int line = FindKey(header + 1, SectionEnd(header), key);
  if (line < 0) return std::nullopt;
  std::string_view content = lines_[static_cast<std::size_t>(line)].content;
  return CleanValue(content.substr(Parse(content).valueStart));
}

void IniDocument::InsertLine(int at, std::string content) {
  // A last line without its line end gets one before anything follows it.
  if (at == static_cast<int>(lines_.size()) && !lines_.empty() && lines_.back().ending.empty()) {
    lines_.back().ending = newline_;
  }
  lines_.insert(lines_.begin() + at, Line{std::move(content), newline_});
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string keyName(Trim(key));
  const std::string_view cleanValue = FirstLineOf(value);
  int header = FindSection(section);
  if (header < 0) {
    InsertLine(static_cast<int>(lines_.size()), "[" + std::string(Trim(section)) + "]");
    InsertLine(static_cast<int>(lines_.size()), keyName + "=" + std::string(cleanValue));
    return;
  }
  int end = SectionEnd(header);
  int line = FindKey(header + 1, end, keyName);
  if (line >= 0) {
    std::string& content = lines_[static_cast<std::size_t>(line)].content;
    content.resize(Parse(content).valueStart);
    content += cleanValue;
    return;
  }
  // After the section's last key, so that comments and blank lines that
  // lead into the next section stay in front of it.
  int at = header + 1;
  for (int i = header + 1; i < end; ++i) {
    if (Parse(lines_[static_cast<std::size_t>(i)].content).kind == LineKind::kKey) at = i + 1;
  }
  InsertLine(at, keyName + "=" + std::string(cleanValue));
}

std::string IniDocument::Text() const {
  std::string text = byteOrderMark_;
  for (const Line& line : lines_) {
    text += line.content;
    text += line.ending;
  }
  return text;
}

IniDocument ReadIniFile(const std::string& path) {
  std::optional<std::string> bytes = ReadWholeFile(path);
  return bytes ? IniDocument(*bytes) : IniDocument();
}

bool WriteIniKeys(const std::string& path, std::string_view section,
                  const std::vector<std::pair<std::string, std::string>>& keyValues) {
  IniDocument document;
  if (std::optional<FileInfo> existing = FindFile(path)) {
    if (existing->isDirectory) return false;
    // Never replace a file we could not read: its content would be lost.
    std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes) return false;
    document = IniDocument(*bytes);
  }
  for (const auto& [key, value] : keyValues) document.Set(section, key, value);
  return WriteFileAtomically(path, document.Text());
}

}  // namespace quorvel::platform
