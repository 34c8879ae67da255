// Test helpers: a fresh temporary folder removed with everything in it, file
// writing and reading shortcuts, and a RunHost that records what a run did.
#pragma once

#include <string>
#include <vector>

#include "engine/project_data.h"
#include "engine/run_host.h"

namespace quorvel::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder with a trailing '/'.
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);  // fails the test when missing
bool Exists(const std::string& path);

// Writes `content` to `name` in `dir` and adds the file to `project`'s file
// list, as the Select Files page would. Returns the file's path.
std::string AddProjectFile(CProjectData& project, const TempDir& dir, const std::string& name,
                           const std::string& content);

class RecordingHost : public RunHost {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ShowProgress() override { events.push_back("show"); }
  void HideProgress() override { events.push_back("hide"); }
  void SetProgressRange(int lowest, int highest) override {
    events.push_back("range " + std::to_string(lowest) + ".." + std::to_string(highest));
  }
  void SetProgressPosition(int position) override { events.push_back("pos " + std::to_string(position)); }
  void ClearResultRows() override {
    events.push_back("clear");
    rows.clear();
  }
  void AppendResultRow(const FileItem& row) override { rows.push_back(row); }
  void AutoSizeResultColumns() override { events.push_back("autosize"); }
  void PumpEvents() override { ++pumps; }

  std::vector<std::string> messages;
  std::vector<std::string> events;
  std::vector<FileItem> rows;
  int pumps = 0;
};

}  // namespace quorvel::testing
