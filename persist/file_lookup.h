// Looks up many files on disk in a row, as loading a project does for each
// of its files. Files of one folder usually follow each other, so the folder
// is opened once and each file is looked up relative to it: the kernel then
// resolves one name per file instead of the whole path.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/file_system.h"

namespace quorvel {

class FileLookup {
 public:
  FileLookup() = default;
  ~FileLookup();
  FileLookup(const FileLookup&) = delete;
  FileLookup& operator=(const FileLookup&) = delete;

  // What platform::FindFile(path) gives, following symbolic links alike.
  std::optional<platform::FileInfo> Find(const std::string& path);

 private:
  std::string folder_;  // the folder open as folderFd_, with its trailing '/'
  int folderFd_ = -1;
};

}  // namespace quorvel
