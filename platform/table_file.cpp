#include "platform/table_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorvel::platform {
namespace {

std::string ErrorText(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

class LocalFile : public RandomAccessFile {
 public:
  explicit LocalFile(int fd) : fd_(fd) {}
  ~LocalFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t size) override {
    CheckOpen();
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
      ssize_t n = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        throw FileError(ErrorText("read failed"));
      }
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    return done;
  }

  void WriteAt(std::int64_t offset, const void* data, std::size_t size) override {
    CheckOpen();
    const auto* in = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
      ssize_t n = ::pwrite(fd_, in + done, size - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        throw FileError(ErrorText("write failed"));
      }
      done += static_cast<std::size_t>(n);
    }
  }

  std::int64_t Size() override {
    CheckOpen();
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throw FileError(ErrorText("stat failed"));
    return st.st_size;
  }

  void Close() override {
    if (fd_ < 0) return;
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw FileError(ErrorText("close failed"));
  }

 private:
  void CheckOpen() const {
    if (fd_ < 0) throw FileError("file is closed");
  }

  int fd_;
};

class LocalFileOpenerImpl : public FileOpener {
 public:
  std::unique_ptr<RandomAccessFile> Open(const std::string& path, FileOpenMode mode) override {
    int flags = O_CLOEXEC;
    switch (mode) {
      case FileOpenMode::kReadOnly: flags |= O_RDONLY; break;
      case FileOpenMode::kReadWrite: flags |= O_RDWR; break;
      case FileOpenMode::kCreateExclusive: flags |= O_RDWR | O_CREAT; break;
    }
    int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return nullptr;
    }
    if (mode == FileOpenMode::kCreateExclusive) {
      // Lock before emptying, so a file that someone else holds is left as
      // it was.
      if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return nullptr;
      }
    }
    return std::make_unique<LocalFile>(fd);
  }
};

}  // namespace

FileOpener& LocalFileOpener() {
  static LocalFileOpenerImpl opener;
  return opener;
}

}  // namespace quorvel::platform
