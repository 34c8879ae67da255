// The lock run: turns every file of the project into a protected page built
// from a template, keeping ".bak" copies when asked to.
#pragma once

#include <string>

#include "engine/project_data.h"
#include "engine/run_host.h"

namespace quorvel {

enum class RunOutcome {
  kRefused,    // ended early with a message; no file touched
  kNoFiles,    // nothing to do; ended silently
  kCompleted,  // the loop ran; "Lock File(s) successfully!" / unlock message shown
  kIncomplete, // unlock only: some backups were missing
};

struct LockEnvironment {
  // The multi-user template folder, with its trailing '/'; single-password
  // templates are in its "singlepassword/" sub-folder. Normally the
  // application folder + "templates/".
  std::string templatesFolder;
};

// The default environment: the application folder's "templates/".
LockEnvironment DefaultLockEnvironment();

// Path of the template the project's mode selects, or "" when the name is
// not a plain file name (empty, ".", "..", or holding a '/').
std::string TemplatePath(const CProjectData& project, const std::string& templatesFolder);

RunOutcome RunLock(CProjectData& project, RunHost& host, const LockEnvironment& environment);

}  // namespace quorvel
