// A small INI text file, read and updated key by key with the rules of the
// classic private-profile functions, so that a settings file written by hand
// or by an older version reads the same and keeps its shape when we write it.
//
// Reading:
//  - section and key names compare without regard to ASCII letter case and
//    are trimmed of surrounding white space;
//  - the first section of a name is the one that counts, and inside it the
//    first "key=value" line of a key;
//  - a value is trimmed of surrounding white space, and one pair of matching
//    single or double quotes around it is removed;
//  - lines that are comments (";"), blank, or hold no '=' are no keys; lines
//    before the first section header belong to no section;
//  - CRLF, LF and CR line ends are all accepted, and a UTF-8 byte order mark
//    at the start of the file is skipped.
// Writing one key changes that key's value only: every other byte of the
// file (comments, other sections, unknown keys, their order, the byte order
// mark and the line ends) stays as it was. A missing key is added at the end
// of its section, a missing section at the end of the file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel::platform {

class IniDocument {
 public:
  IniDocument() = default;
  explicit IniDocument(std::string_view text);

  // The value of `key` in `section`, or nothing when the section or the key
  // is missing.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;

  // Sets `key` in `section`, creating both when missing. The value ends at
  // its first line break or NUL, so a value can never add lines to the file.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  // The whole file as it is to be written.
  std::string Text() const;

 private:
  struct Line {
    std::string content;  // without the line end
    std::string ending;   // "\r\n", "\n", "\r", or "" for a last unterminated line
  };

  // Index of the header line of the first section named `section`, or -1.
  int FindSection(std::string_view section) const;
  // One past the last line of the section whose header is at `header`.
  int SectionEnd(int header) const;
  // Index of the first "key=value" line of `key` in lines (begin, end), or -1.
  int FindKey(int begin, int end, std::string_view key) const;
  void InsertLine(int at, std::string content);

  std::string byteOrderMark_;
  std::string newline_ = "\n";  // the file's own line end, for added lines
  std::vector<Line> lines_;
};

// Reads the file at `path`. A missing or unreadable file reads as empty.
IniDocument ReadIniFile(const std::string& path);

// Sets the given keys of `section` in the file at `path`, in order, and
// replaces the file in one step, so that a crash never leaves half a file.
// Fails, writing nothing, when the file exists but cannot be read or when
// the new file cannot be written.
bool WriteIniKeys(const std::string& path, std::string_view section,
                  const std::vector<std::pair<std::string, std::string>>& keyValues);

}  // namespace quorvel::platform
