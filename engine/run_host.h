// What a lock or unlock run needs from whoever starts it: the window, the
// command-line companion, or a test that records what happened.
#pragma once

#include <string>

#include "engine/project_data.h"

namespace quorvel {

class RunHost {
 public:
  virtual ~RunHost() = default;

  // A message box with the caption "Quorvel", exclamation icon and OK.
  virtual void ShowMessage(const std::string& text) = 0;

  virtual void ShowProgress() {}
  virtual void HideProgress() {}
  virtual void SetProgressRange(int /*lowest*/, int /*highest*/) {}
  virtual void SetProgressPosition(int /*position*/) {}

  // The result list that mirrors CProjectData::lockedFiles.
  virtual void ClearResultRows() {}
  virtual void AppendResultRow(const FileItem& /*row*/) {}
  virtual void AutoSizeResultColumns() {}

  // Lets the caller's window repaint between files.
  virtual void PumpEvents() {}
};

}  // namespace quorvel
