#include "recorddb/table_store.h"

#include <algorithm>
#include <cstring>

#include "platform/table_file.h"

namespace quorvel::recorddb {

TableStore::TableStore(std::unique_ptr<platform::RandomAccessFile> file) : file_(std::move(file)) {
  diskSize_ = file_->Size();
  size_ = diskSize_;
}

TableStore::~TableStore() = default;

TableStore::Page& TableStore::PageAt(std::int64_t index) {
  if (!pages_.empty() && pages_.front().index == index) return pages_.front();
  auto found = index_.find(index);
  if (found != index_.end()) {
    pages_.splice(pages_.begin(), pages_, found->second);
    return pages_.front();
  }
  if (pages_.size() >= kMaxPages) Evict();
  Page page;
  page.index = index;
  page.bytes.assign(kPageSize, 0);
  const std::int64_t start = index * static_cast<std::int64_t>(kPageSize);
  if (start < diskSize_) {
    std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(kPageSize, diskSize_ - start));
    file_->ReadAt(start, page.bytes.data(), want);
  }
  pages_.push_front(std::move(page));
  index_[index] = pages_.begin();
  return pages_.front();
}

void TableStore::WriteBack(Page& page) {
  if (!page.dirty) return;
  const std::int64_t start = page.index * static_cast<std::int64_t>(kPageSize);
  const std::int64_t end = std::min<std::int64_t>(start + static_cast<std::int64_t>(kPageSize), size_);
  if (end > start) {
    file_->WriteAt(start, page.bytes.data(), static_cast<std::size_t>(end - start));
    diskSize_ = std::max(diskSize_, end);
  }
  page.dirty = false;
}

void TableStore::Evict() {
  Page& victim = pages_.back();
  WriteBack(victim);
  index_.erase(victim.index);
  pages_.pop_back();
}

bool TableStore::Read(std::int64_t position, void* out, std::size_t size) {
  if (position < 0 || position > size_ || static_cast<std::int64_t>(size) > size_ - position) return false;
  ReadSome(position, out, size);
  return true;
}

const std::uint8_t* TableStore::View(std::int64_t position, std::size_t size) {
  if (position < 0 || position > size_ || static_cast<std::int64_t>(size) > size_ - position) return nullptr;
  const std::int64_t index = position / static_cast<std::int64_t>(kPageSize);
  const std::size_t offset = static_cast<std::size_t>(position % static_cast<std::int64_t>(kPageSize));
  if (offset + size > kPageSize) return nullptr;
  return PageAt(index).bytes.data() + offset;
}

std::size_t TableStore::ReadSome(std::int64_t position, void* out, std::size_t size) {
  if (position < 0 || position >= size_) return 0;
  size = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(size), size_ - position));
  auto* dest = static_cast<std::uint8_t*>(out);
  std::size_t done = 0;
  while (done < size) {
    const std::int64_t at = position + static_cast<std::int64_t>(done);
    const std::int64_t index = at / static_cast<std::int64_t>(kPageSize);
    const std::size_t offset = static_cast<std::size_t>(at % static_cast<std::int64_t>(kPageSize));
    const std::size_t n = std::min(size - done, kPageSize - offset);
    std::memcpy(dest + done, PageAt(index).bytes.data() + offset, n);
    done += n;
  }
  return size;
}

void TableStore::Write(std::int64_t position, const void* data, std::size_t size) {
  const auto* src = static_cast<const std::uint8_t*>(data);
  std::size_t done = 0;
  while (done < size) {
    const std::int64_t at = position + static_cast<std::int64_t>(done);
    const std::int64_t index = at / static_cast<std::int64_t>(kPageSize);
    const std::size_t offset = static_cast<std::size_t>(at % static_cast<std::int64_t>(kPageSize));
    const std::size_t n = std::min(size - done, kPageSize - offset);
    Page& page = PageAt(index);
    std::memcpy(page.bytes.data() + offset, src + done, n);
    page.dirty = true;
    done += n;
  }
  size_ = std::max(size_, position + static_cast<std::int64_t>(size));
}

std::int64_t TableStore::Append(const void* data, std::size_t size) {
  const std::int64_t position = size_;
  Write(position, data, size);
  return position;
}

void TableStore::Flush() {
  // Oldest pages first, so the file mostly grows from front to back.
  for (auto it = pages_.rbegin(); it != pages_.rend(); ++it) WriteBack(*it);
}

void TableStore::Close() {
  Flush();
  file_->Close();
}

}  // namespace quorvel::recorddb
