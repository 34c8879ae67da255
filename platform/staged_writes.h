// A group of file writes made durable together. Writing many files one by
// one safely costs a disk flush per file; staging them and committing the
// group costs a few flushes in all, with the same guarantees:
// - a replaced file is either the old one or the whole new one;
// - a new file (a backup) is complete on disk before it appears, never
//   overwrites an existing file, and is on disk before any replacement of
//   the same group takes effect;
// - staged files not committed leave nothing behind.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace quorvel::platform {

class StagedWrites {
 public:
  StagedWrites() = default;
  ~StagedWrites();  // removes what was staged and not committed
  StagedWrites(const StagedWrites&) = delete;
  StagedWrites& operator=(const StagedWrites&) = delete;

  // `bytes` will replace (or create) `path` at Commit; an existing file
  // keeps its permission bits. False when the bytes cannot be staged.
  bool StageReplace(const std::string& path, const std::string& bytes);

  // `bytes` will become the new file `path` at Commit, unless a file is
  // there by then, with the permission bits of `modeFrom`.
  bool StageCreateNew(const std::string& path, const std::string& bytes, const std::string& modeFrom);

  // `source` will also be reachable as the new file `path` at Commit (a
  // hard link; a copy where the file system has none), unless a file is at
  // `path` by then. Meant for a file whose own name a staged replacement
  // then takes over, so the old content lives on under `path` alone.
  void StageLinkNew(const std::string& source, const std::string& path);

  // Flushes the staged data, makes the new files appear, flushes again,
  // then puts the replacements in place and flushes once more.
  void Commit();

  // Whether `path` is the target of a staged write.
  bool Targets(const std::string& path) const;

  std::size_t stagedBytes() const { return stagedBytes_; }
  std::size_t stagedCount() const { return entries_.size(); }

 private:
  enum class Kind { kReplace, kCreate, kLink };
  struct Entry {
    std::string temp;  // the staged file; for kLink the existing source
    std::string target;
    Kind kind;
  };

  std::vector<Entry> entries_;
  std::size_t stagedBytes_ = 0;
};

}  // namespace quorvel::platform
