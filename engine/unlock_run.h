// The unlock run: puts each file back from the ".bak" copy a lock run made.
#pragma once

#include "engine/lock_run.h"
#include "engine/project_data.h"
#include "engine/run_host.h"

namespace quorvel {

// Shows "Unlock File(s) OK!" (kCompleted) or "The backup file(s) cannot be
// found!" (kIncomplete); kNoFiles when the project has no files.
RunOutcome RunUnlock(const CProjectData& project, RunHost& host);

}  // namespace quorvel
