// The table file as the record table sees it: reads and writes at absolute
// positions, appends at the end, through a small write-back page cache.
//
// Appended records and the rightmost nodes of a tree are rewritten many
// times while they are young; the cache keeps them in memory and writes each
// page once when it is evicted or at Flush, so the bytes on disk equal the
// bytes written here once Flush (or Close) returns. Memory is bounded by the
// page limit, whatever the size of the file.
//
// Reads refuse ranges that do not lie wholly inside the file. Errors of the
// file layer propagate as platform::FileError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

namespace quorvel::platform {
class RandomAccessFile;
}  // namespace quorvel::platform

namespace quorvel::recorddb {

class TableStore {
 public:
  explicit TableStore(std::unique_ptr<platform::RandomAccessFile> file);
  ~TableStore();  // drops unwritten pages; call Close to keep them

  TableStore(const TableStore&) = delete;
  TableStore& operator=(const TableStore&) = delete;

  // Logical size: the file's size plus what has been appended since.
  std::int64_t Size() const { return size_; }

  // Reads exactly `size` bytes at `position`. False, reading nothing, when
  // the range is not wholly inside the file.
  bool Read(std::int64_t position, void* out, std::size_t size);

  // Reads up to `size` bytes at `position`, fewer near the end of the file;
  // returns how many.
  std::size_t ReadSome(std::int64_t position, void* out, std::size_t size);

  // The `size` bytes at `position` in place when they lie inside one cached
  // page, else null (then use Read). Valid until the next call on the store.
  const std::uint8_t* View(std::int64_t position, std::size_t size);

  // Writes `size` bytes at `position` (0 <= position <= Size()).
  void Write(std::int64_t position, const void* data, std::size_t size);

  // Writes at the end of the file and returns where the bytes landed.
  std::int64_t Append(const void* data, std::size_t size);

  // Writes every changed page to the file.
  void Flush();

  // Flushes and closes the file. The store is unusable afterwards.
  void Close();

 private:
  static constexpr std::size_t kPageSize = 32768;
  static constexpr std::size_t kMaxPages = 64;

  struct Page {
    std::int64_t index = 0;
    bool dirty = false;
    std::vector<std::uint8_t> bytes;
  };

  Page& PageAt(std::int64_t index);
  void WriteBack(Page& page);
  void Evict();

  std::unique_ptr<platform::RandomAccessFile> file_;
  std::int64_t size_ = 0;      // logical size
  std::int64_t diskSize_ = 0;  // bytes the file really holds
  std::list<Page> pages_;      // most recently used first
  std::unordered_map<std::int64_t, std::list<Page>::iterator> index_;
};

}  // namespace quorvel::recorddb
