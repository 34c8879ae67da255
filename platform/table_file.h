// Random-access files for the record database: open a file, read and write
// bytes at absolute positions, ask for its size, close it. The record table
// reaches the disk only through these two interfaces, so tests can hand it a
// file that fails on purpose.
//
// Errors of an open file (a failed read, a short write, a full disk, a
// failed close) are thrown as FileError. Only opening reports failure by
// returning null, because "cannot open" is an ordinary outcome for callers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace quorvel::platform {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class FileOpenMode {
  kReadOnly,        // existing file, reads only
  kReadWrite,       // existing file, reads and writes, shared with others
  kCreateExclusive  // create or empty the file, reads and writes; the file is
                    // locked (flock) against other lockers while open
};

class RandomAccessFile {
 public:
  virtual ~RandomAccessFile() = default;

  // Reads up to `size` bytes at `offset` into `buffer` and returns how many
  // were read; fewer than `size` only at the end of the file.
  virtual std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t size) = 0;

  // Writes all `size` bytes at `offset`, growing the file when needed.
  virtual void WriteAt(std::int64_t offset, const void* data, std::size_t size) = 0;

  virtual std::int64_t Size() = 0;

  // Closes the file; later calls do nothing. Throws when the system reports
  // a delayed write error.
  virtual void Close() = 0;
};

class FileOpener {
 public:
  virtual ~FileOpener() = default;

  // The opened file, or null when it cannot be opened in that mode.
  virtual std::unique_ptr<RandomAccessFile> Open(const std::string& path, FileOpenMode mode) = 0;
};

// Opens files of the local file system with POSIX calls.
FileOpener& LocalFileOpener();

}  // namespace quorvel::platform
