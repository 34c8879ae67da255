// Table files held in memory, for tests and the fuzzer: a FileOpener whose
// files are byte strings, with switches that make writes, reads or closing
// fail the way a full disk or a broken device would.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/table_file.h"

namespace quorvel::testing {

struct MemoryFileData {
  std::string bytes;
  bool failWrites = false;
  bool failReads = false;
  bool failClose = false;
  long long writeBudget = -1;  // bytes that may still be written; -1 for no limit
};

class MemoryFile : public platform::RandomAccessFile {
 public:
  MemoryFile(std::shared_ptr<MemoryFileData> data, bool writable) : data_(std::move(data)), writable_(writable) {}

  std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t size) override {
    if (data_->failReads) throw platform::FileError("read failed: injected");
    if (offset < 0 || offset >= static_cast<std::int64_t>(data_->bytes.size())) return 0;
    std::size_t n = std::min(size, data_->bytes.size() - static_cast<std::size_t>(offset));
    data_->bytes.copy(static_cast<char*>(buffer), n, static_cast<std::size_t>(offset));
    return n;
  }

  void WriteAt(std::int64_t offset, const void* source, std::size_t size) override {
    if (!writable_) throw platform::FileError("write failed: read-only");
    if (data_->failWrites) throw platform::FileError("write failed: injected");
    if (data_->writeBudget >= 0) {
      if (static_cast<long long>(size) > data_->writeBudget) throw platform::FileError("write failed: disk full");
      data_->writeBudget -= static_cast<long long>(size);
    }
    std::size_t end = static_cast<std::size_t>(offset) + size;
    if (data_->bytes.size() < end) data_->bytes.resize(end, '\0');
    data_->bytes.replace(static_cast<std::size_t>(offset), size, static_cast<const char*>(source), size);
  }

  std::int64_t Size() override { return static_cast<std::int64_t>(data_->bytes.size()); }

  void Close() override {
    if (data_->failClose) throw platform::FileError("close failed: injected");
  }

 private:
  std::shared_ptr<MemoryFileData> data_;
  bool writable_;
};

class MemoryFileOpener : public platform::FileOpener {
 public:
  std::unique_ptr<platform::RandomAccessFile> Open(const std::string& path, platform::FileOpenMode mode) override {
    auto found = files_.find(path);
    if (mode == platform::FileOpenMode::kCreateExclusive) {
      if (found == files_.end()) found = files_.emplace(path, std::make_shared<MemoryFileData>()).first;
      found->second->bytes.clear();
    } else if (found == files_.end()) {
      return nullptr;
    }
    return std::make_unique<MemoryFile>(found->second, mode != platform::FileOpenMode::kReadOnly);
  }

  std::shared_ptr<MemoryFileData>& operator[](const std::string& path) {
    auto& data = files_[path];
    if (!data) data = std::make_shared<MemoryFileData>();
    return data;
  }

 private:
  std::map<std::string, std::shared_ptr<MemoryFileData>> files_;
};

}  // namespace quorvel::testing
