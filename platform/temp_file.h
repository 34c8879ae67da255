// Building blocks shared by the file operations that never leave a file
// half-written: a descriptor guard, full writes, and temporary files created
// beside their target.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace quorvel::platform {

// Closes a descriptor when it leaves scope.
class FdGuard {
 public:
  explicit FdGuard(int fd) : fd_(fd) {}
  ~FdGuard();
  FdGuard(const FdGuard&) = delete;
  FdGuard& operator=(const FdGuard&) = delete;
  int get() const { return fd_; }
  // Closes now and reports whether close succeeded (it can report a
  // delayed write error).
  bool Close();

 private:
  int fd_;
};

bool WriteAll(int fd, const char* data, std::size_t size);

enum class Flush { kNow, kLater };

// Creates a new, uniquely named hidden temporary file beside `target` and
// writes `bytes` to it; with Flush::kNow it is also flushed to disk. It takes
// the permission bits of the file `like` (and, when we may, its owner), or
// the default bits when there is no such file. Returns its path, or "" after
// removing whatever it created.
std::string WriteTempBeside(const std::string& target, const std::string& bytes, const std::string& like,
                            Flush flush);

// The permission bits a new file gets under the current umask.
mode_t DefaultFileMode();

}  // namespace quorvel::platform
