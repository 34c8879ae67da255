// Shortcut for the persistence tests: put a file with given bytes into a
// test's temporary folder and get its path back.
#pragma once

#include <string>

#include "tests/support/temp_dir.h"

namespace quorvel::testing {

inline std::string WriteTo(const TempDir& folder, const std::string& name, const std::string& bytes) {
  WriteFile(folder.File(name), bytes);
  return folder.File(name);
}

}  // namespace quorvel::testing
