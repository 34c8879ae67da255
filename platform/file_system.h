// Whole-file operations on the local file system, as the engine needs them:
// read a file whole, replace a file without ever leaving it half-written,
// copy without overwriting, rename and look a file up.
//
// Paths are byte strings in the system code page (UTF-8 here) with '/' as
// the separator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::platform {

struct FileInfo {
  std::string name;      // the name as the file system spells it, no folder
  std::uint64_t size = 0;
  bool isDirectory = false;
};

// Reads the whole file. Empty optional when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Replaces (or creates) `path` with `bytes` so that the file is either the
// old one or the whole new one: the bytes go to a temporary file in the same
// folder, are flushed to disk and the temporary file is renamed over `path`.
// An existing file keeps its permission bits. On failure nothing at `path`
// changes and no temporary file is left behind.
bool WriteFileAtomically(const std::string& path, const std::string& bytes);

// Copies `from` to `to` unless `to` already exists. The copy is complete and
// flushed to disk before it appears under its name. Fails when `to` exists.
bool CopyFileNoOverwrite(const std::string& from, const std::string& to);

// Whether `path` exists and we may write to it (a file the user made
// read-only is left alone).
bool IsWritable(const std::string& path);

// Renames `from` to `to` in one step, replacing an existing `to`.
bool RenameFile(const std::string& from, const std::string& to);

// Looks `path` up. Empty optional when nothing is there.
std::optional<FileInfo> FindFile(const std::string& path);

// The entries of `folder` other than "." and "..", in the order the file
// system returns them. Empty when the folder cannot be read.
std::vector<FileInfo> ListFolder(const std::string& folder);

// The folder part of `path` with its trailing '/', or "" when it has none.
std::string FolderOf(const std::string& path);

// The last path component of `path`.
std::string BaseName(const std::string& path);

}  // namespace quorvel::platform
