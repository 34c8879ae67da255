#include "cli/console_host.h"

#include <unistd.h>

#include <algorithm>

namespace quorvel::cli {

ConsoleHost::ConsoleHost() : terminal_(::isatty(STDERR_FILENO) == 1) {}

void ConsoleHost::ShowProgress() {
  visible_ = true;
  DrawBar();
}

void ConsoleHost::HideProgress() {
  if (visible_ && terminal_) std::fputs("\r\033[K", stderr);
  visible_ = false;
}

void ConsoleHost::SetProgressRange(int lowest, int highest) {
  lowest_ = lowest;
  highest_ = highest;
}

void ConsoleHost::SetProgressPosition(int position) {
  position_ = position;
  DrawBar();
}

void ConsoleHost::DrawBar() {
  if (!visible_ || !terminal_ || highest_ <= 0) return;
  constexpr int kWidth = 40;
  int done = std::clamp(position_, 0, highest_);
  int filled = done * kWidth / highest_;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kWidth - filled), '.');
  std::fprintf(stderr, "\rLocking [%s] %d/%d", bar.c_str(), done, highest_);
  std::fflush(stderr);
}

void ConsoleHost::PrintRows(std::FILE* out) const {
  if (rows_.empty()) return;
  std::size_t nameWidth = 8, sizeWidth = 4;  // "FileName", "Size"
  for (const FileItem& row : rows_) {
    nameWidth = std::max(nameWidth, row.fileName.size());
    sizeWidth = std::max(sizeWidth, row.sizeText.size());
  }
  auto line = [&](const std::string& name, const std::string& size, const std::string& path) {
    std::fprintf(out, "%-*s  %*s  %s\n", static_cast<int>(nameWidth), name.c_str(), static_cast<int>(sizeWidth),
                 size.c_str(), path.c_str());
  };
  line("FileName", "Size", "Path");
  for (const FileItem& row : rows_) line(row.fileName, row.sizeText, row.path);
}

void ConsoleHost::PrintMessages(std::FILE* out) const {
  for (const std::string& message : messages_) std::fprintf(out, "%s\n", message.c_str());
}

}  // namespace quorvel::cli
