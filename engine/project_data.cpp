#include "engine/project_data.h"

#include "platform/file_system.h"

namespace quorvel {

std::string SizeText(std::uint64_t sizeInBytes) { return std::to_string(sizeInBytes / 1024 + 1) + " KB"; }

FileItem MakeFileItem(const std::string& path) {
  FileItem item;
  item.path = path;
  item.fileName = platform::BaseName(path);
  if (auto info = platform::FindFile(path); info && !info->isDirectory) {
    item.fileName = info->name;
    item.sizeText = SizeText(info->size);
  }
  return item;
}

}  // namespace quorvel
