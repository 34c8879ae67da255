// The whole working state of the tool: which files to protect, who may open
// them (a list of accounts, or one shared password) and how the protected
// pages behave. The wizard pages edit it, lock and unlock runs read it, and a
// project file saves and restores it. It holds no page content and no keys.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// One row of a file list.
struct FileItem {
  std::string fileName;  // "FileName": name with extension, no folder
  std::string sizeText;  // "Size": "%d KB", empty when the file was not found
  std::string path;      // "Path": the full path

  bool operator==(const FileItem&) const = default;
};

// One account.
struct UserItem {
  std::string userId;    // "UserID", compared exactly
  std::string password;  // "Password"
  std::string email;     // "E-mail", kept, never used by the engine
  std::string notes;     // "Notes", kept, never used by the engine

  bool operator==(const UserItem&) const = default;
};

struct LockOptions {
  bool sessionCookies = false;
  bool doubleByte = false;
  bool backupFiles = true;
  bool redirect = false;
  std::string redirectUrl;         // at most kMaxRedirectUrl characters
  std::string templateName;        // at most kMaxTemplateName characters
  std::string singleTemplateName;  // at most kMaxTemplateName characters

  bool operator==(const LockOptions&) const = default;
};

inline constexpr std::size_t kMaxSinglePassword = 255;
inline constexpr std::size_t kMaxRedirectUrl = 255;
inline constexpr std::size_t kMaxTemplateName = 63;
// The key that wraps the content key is the password written twice, and the
// cipher takes keys of at most 256 bytes.
inline constexpr std::size_t kMaxPasswordBytes = 128;

class CProjectData {
 public:
  std::vector<FileItem> files;
  std::vector<UserItem> users;
  bool singlePasswordMode = false;
  std::string singlePassword;
  LockOptions options;
  std::vector<FileItem> lockedFiles;  // rows of the last lock run, never saved
};

// "%d KB" with floor(size / 1024) + 1: an empty file shows "1 KB".
std::string SizeText(std::uint64_t sizeInBytes);

// A FileItem for `path` as found on disk now: name, size text and path.
// The size text is empty when nothing is found there.
FileItem MakeFileItem(const std::string& path);

}  // namespace quorvel
