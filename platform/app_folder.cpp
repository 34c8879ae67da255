#include "platform/app_folder.h"

#include <unistd.h>

#include <climits>

#include "platform/file_system.h"

namespace quorvel::platform {

std::string ApplicationFolder() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "./";
  return FolderOf(std::string(buffer, static_cast<std::size_t>(n)));
}

}  // namespace quorvel::platform
