#include "platform/staged_writes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/file_system.h"
#include "platform/temp_file.h"

namespace quorvel::platform {
namespace {

// Flushes every file system that holds one of `paths` (a folder's worth of
// new files costs one flush, not one per file).
void FlushFileSystems(const std::vector<std::string>& paths) {
  std::vector<dev_t> done;
  for (const std::string& path : paths) {
    std::string folder = FolderOf(path);
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && std::find(done.begin(), done.end(), st.st_dev) == done.end()) {
      done.push_back(st.st_dev);
#ifdef __linux__
      if (::syncfs(fd) != 0) ::sync();
#else
      ::sync();
#endif
    }
    ::close(fd);
  }
}

// Makes `target` a new name of `source`, or failing that a flushed copy.
// Never replaces an existing `target`.
bool LinkOrCopy(const std::string& source, const std::string& target) {
  if (::link(source.c_str(), target.c_str()) == 0) return true;
  if (errno == EEXIST) return false;
  return CopyFileNoOverwrite(source, target);
}

}  // namespace

StagedWrites::~StagedWrites() {
  for (const Entry& entry : entries_)
    if (entry.kind != Kind::kLink) ::unlink(entry.temp.c_str());
}

bool StagedWrites::StageReplace(const std::string& path, const std::string& bytes) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return false;
  std::string temp = WriteTempBeside(path, bytes, path, Flush::kLater);
  if (temp.empty()) return false;
  entries_.push_back({temp, path, Kind::kReplace});
  stagedBytes_ += bytes.size();
  return true;
}

bool StagedWrites::StageCreateNew(const std::string& path, const std::string& bytes, const std::string& modeFrom) {
  if (FindFile(path)) return false;
  std::string temp = WriteTempBeside(path, bytes, modeFrom, Flush::kLater);
  if (temp.empty()) return false;
  entries_.push_back({temp, path, Kind::kCreate});
  stagedBytes_ += bytes.size();
  return true;
}

void StagedWrites::StageLinkNew(const std::string& source, const std::string& path) {
  entries_.push_back({source, path, Kind::kLink});
}

void StagedWrites::Commit() {
  if (entries_.empty()) return;
  std::vector<std::string> targets;
  for (const Entry& entry : entries_) targets.push_back(entry.target);

  FlushFileSystems(targets);  // every staged byte is on disk

  bool created = false;
  for (const Entry& entry : entries_) {
    // link() refuses an existing target, so nothing is overwritten.
    if (entry.kind == Kind::kCreate) {
      if (::link(entry.temp.c_str(), entry.target.c_str()) == 0) created = true;
      ::unlink(entry.temp.c_str());
    } else if (entry.kind == Kind::kLink) {
      if (LinkOrCopy(entry.temp, entry.target)) created = true;
    }
  }
  if (created) FlushFileSystems(targets);  // new files exist on disk

  for (const Entry& entry : entries_) {
    if (entry.kind != Kind::kReplace) continue;
    if (::rename(entry.temp.c_str(), entry.target.c_str()) != 0) ::unlink(entry.temp.c_str());
  }
  FlushFileSystems(targets);  // replacements are on disk

  entries_.clear();
  stagedBytes_ = 0;
}

bool StagedWrites::Targets(const std::string& path) const {
  return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.target == path; });
}

}  // namespace quorvel::platform
