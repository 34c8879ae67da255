// Project files (".qvp"): a whole CProjectData apart from lockedFiles, kept
// in a table file of the record database with a fixed 28-field schema. Every
// file, every user, the password mode and the options become one record
// each, told apart by their "flag" field, and are read back in "id" order.
//
// These functions do the translation between the project and the file at a
// given path; choosing the path (file dialogs) and refreshing what the window
// shows is the caller's part.
#pragma once

#include <string>

#include "engine/project_data.h"

namespace quorvel {

// The outcome of a save or a load, with a sentence the caller can show.
struct ProjectFileResult {
  bool ok = true;
  std::string message;  // empty when ok

  static ProjectFileResult Success() { return {}; }
  static ProjectFileResult Failure(std::string text) { return {false, std::move(text)}; }
};

// Writes `project` to `path`, replacing an existing file only once the new
// one is complete: a failed save leaves whatever was at `path` untouched.
ProjectFileResult SaveProject(const CProjectData& project, const std::string& path);

// Reads the project file at `path` into `project`: the file and user lists
// are replaced, and the password mode and the options are replaced when the
// file holds them (the last record of each kind wins). lockedFiles is never
// touched. File records are looked up on disk: a file that no longer exists
// is dropped, the others take their name and size from the disk now.
//
// The file is checked to be a project file before anything changes, and
// nothing changes unless the whole file can be read: a foreign, short or
// damaged file leaves `project` exactly as it was. A template name that
// cannot name a file inside the template folders keeps the current one.
ProjectFileResult LoadProject(CProjectData& project, const std::string& path);

}  // namespace quorvel
