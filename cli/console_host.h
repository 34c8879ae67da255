// The RunHost of quorvel-cli: collects the run's messages, draws a progress
// bar on stderr when it is a terminal, and prints the result rows.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "engine/run_host.h"

namespace quorvel::cli {

class ConsoleHost : public RunHost {
 public:
  ConsoleHost();

  void ShowMessage(const std::string& text) override { messages_.push_back(text); }
  void ShowProgress() override;
  void HideProgress() override;
  void SetProgressRange(int lowest, int highest) override;
  void SetProgressPosition(int position) override;
  void ClearResultRows() override { rows_.clear(); }
  void AppendResultRow(const FileItem& row) override { rows_.push_back(row); }

  const std::vector<std::string>& messages() const { return messages_; }
  // The rows as an aligned table with the list's column titles.
  void PrintRows(std::FILE* out) const;
  void PrintMessages(std::FILE* out) const;

 private:
  void DrawBar();

  std::vector<std::string> messages_;
  std::vector<FileItem> rows_;
  bool terminal_;
  bool visible_ = false;
  int lowest_ = 0, highest_ = 0, position_ = 0;
};

}  // namespace quorvel::cli
