#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/temp_file.h"

namespace quorvel::platform {
namespace {

// Flushes the folder so that a rename or new link inside it survives a crash.
void SyncFolder(const std::string& folder) {
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  FdGuard guard(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) return std::nullopt;
  // Read straight into the result, sized from the file; a file that grows
  // meanwhile is read on to its end.
  std::string bytes(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0, '\0');
  std::size_t used = 0;
  for (;;) {
    if (used == bytes.size()) bytes.resize(bytes.size() + (1 << 16));
    ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    used += static_cast<std::size_t>(n);
  }
  bytes.resize(used);
  return bytes;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return false;
  std::string temp = WriteTempBeside(path, bytes, path, Flush::kNow);
  if (temp.empty()) return false;
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  SyncFolder(FolderOf(path));
  return true;
}

bool CopyFileNoOverwrite(const std::string& from, const std::string& to) {
  if (FindFile(to)) return false;
  struct stat st {};
  if (::stat(from.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  std::optional<std::string> bytes = ReadWholeFile(from);
  if (!bytes) return false;
  std::string temp = WriteTempBeside(to, *bytes, from, Flush::kNow);
  if (temp.empty()) return false;
  // link() refuses an existing target, so a backup that appeared meanwhile
  // is never replaced.
  bool ok = ::link(temp.c_str(), to.c_str()) == 0;
  ::unlink(temp.c_str());
  if (ok) SyncFolder(FolderOf(to));
  return ok;
}

bool IsWritable(const std::string& path) { return ::access(path.c_str(), W_OK) == 0; }

bool RenameFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return false;
  SyncFolder(FolderOf(to));
  return true;
}

std::optional<FileInfo> FindFile(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
  FileInfo info;
  info.name = BaseName(path);
  info.size = static_cast<std::uint64_t>(st.st_size);
  info.isDirectory = S_ISDIR(st.st_mode);
  return info;
}

std::vector<FileInfo> ListFolder(const std::string& folder) {
  std::vector<FileInfo> entries;
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return entries;
  std::string prefix = folder;
  if (!prefix.empty() && prefix.back() != '/') prefix += '/';
  while (dirent* entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    struct stat st {};
    if (::stat((prefix + entry->d_name).c_str(), &st) != 0) continue;
    entries.push_back({entry->d_name, static_cast<std::uint64_t>(st.st_size), S_ISDIR(st.st_mode)});
  }
  ::closedir(dir);
  return entries;
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string BaseName(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace quorvel::platform
