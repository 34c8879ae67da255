#include "platform/temp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_system.h"
#include "platform/secure_random.h"

namespace quorvel::platform {

FdGuard::~FdGuard() {
  if (fd_ >= 0) ::close(fd_);
}

bool FdGuard::Close() {
  int fd = fd_;
  fd_ = -1;
  return fd < 0 || ::close(fd) == 0;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

std::string WriteTempBeside(const std::string& target, const std::string& bytes, const std::string& like,
                            Flush flush) {
  struct stat likeStat {};
  const bool hasLike = !like.empty() && ::stat(like.c_str(), &likeStat) == 0;
  const mode_t mode = hasLike ? (likeStat.st_mode & 07777) : DefaultFileMode();
  const std::string stem = FolderOf(target) + "." + BaseName(target) + ".";
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string temp = stem + RandomAlphanumeric(10) + ".tmp";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return "";
    }
    FdGuard guard(fd);
    // A replaced file keeps its owner where we are allowed to give it one
    // (running as root); otherwise it becomes ours, as any new file would.
    if (hasLike && ::geteuid() == 0) (void)!::fchown(fd, likeStat.st_uid, likeStat.st_gid);
    bool ok = WriteAll(fd, bytes.data(), bytes.size()) && ::fchmod(fd, mode) == 0 &&
              (flush == Flush::kLater || ::fsync(fd) == 0);
    ok = guard.Close() && ok;
    if (!ok) {
      ::unlink(temp.c_str());
      return "";
    }
    return temp;
  }
  return "";
}

mode_t DefaultFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace quorvel::platform
