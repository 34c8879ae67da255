#include "engine/unlock_run.h"

#include "platform/file_system.h"

namespace quorvel {

RunOutcome RunUnlock(const CProjectData& project, RunHost& host) {
  if (project.files.empty()) return RunOutcome::kNoFiles;

  bool backupMissing = false;
  for (std::size_t i = 0; i < project.files.size(); ++i) {
    const std::string path = project.files[i].path;
    const std::string backupPath = path + ".bak";
    if (!platform::FindFile(backupPath)) {
      backupMissing = true;
      continue;
    }
    // A file that is gone, read-only or a folder is left alone, as a failed
    // deletion would leave it. Otherwise the backup replaces it in one
    // rename, so the file is never missing in between.
    auto target = platform::FindFile(path);
    if (!target || target->isDirectory || !platform::IsWritable(path)) continue;
    platform::RenameFile(backupPath, path);
  }

  if (backupMissing) {
    host.ShowMessage("The backup file(s) cannot be found!");
    return RunOutcome::kIncomplete;
  }
  host.ShowMessage("Unlock File(s) OK!");
  return RunOutcome::kCompleted;
}

}  // namespace quorvel
