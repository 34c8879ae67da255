#include "persist/file_lookup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

FileLookup::~FileLookup() {
  if (folderFd_ >= 0) ::close(folderFd_);
}

std::optional<platform::FileInfo> FileLookup::Find(const std::string& path) {
  const std::string folder = platform::FolderOf(path);
  const std::string name = platform::BaseName(path);
  if (folder.empty() || name.empty()) return platform::FindFile(path);
  if (folder != folder_) {
    if (folderFd_ >= 0) ::close(folderFd_);
    folder_ = folder;
    folderFd_ = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  }
  if (folderFd_ < 0) return platform::FindFile(path);
  struct stat st {};
  if (::fstatat(folderFd_, name.c_str(), &st, 0) != 0) return std::nullopt;
  return platform::FileInfo{name, static_cast<std::uint64_t>(st.st_size), S_ISDIR(st.st_mode)};
}

}  // namespace quorvel
