// User list text files: one account per line, four comma-separated fields
// (user ID, password, e-mail, notes). Fields holding a comma are written in
// double quotes; nothing else is escaped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/project_data.h"

namespace quorvel {

// Reads accounts from the text of a user list file. A comma separates fields
// only while the count of double quotes read so far (across lines) is even.
// Lines without a separating comma or with an empty user ID are skipped.
std::vector<UserItem> ParseUserListText(std::string_view text);

// Writes accounts one per line, each line ending in CR LF.
std::string FormatUserListText(const std::vector<UserItem>& users);

}  // namespace quorvel
