// The credential table every protected page carries: per account the MD5 of
// the user ID, the content key wrapped with the password, and a salted
// double MD5 of the password, as one script expression.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/project_data.h"
#include "engine/run_host.h"

namespace quorvel {

// Built into the page templates' script as well.
inline constexpr std::string_view kCredentialSalt = "Qm7trWx2LpZk9vNe4HcY1oBd6uJf3sKaT0g";
// The user ID of single-password pages.
inline constexpr std::string_view kSinglePasswordUserId = "default";

// "\"<md5 user>\",\"<wrapped key>\",\"<salted password digest>\"".
std::string BuildCredentialEntry(std::string_view userId, std::string_view password,
                                 std::string_view contentKey);

// "new Array(entry,entry,...)" for the project's accounts (or its single
// password). Empty optional after showing the reason through `host`: no
// password, no accounts, or a password too long for the cipher.
std::optional<std::string> BuildCredentialTable(const CProjectData& project, std::string_view contentKey,
                                                RunHost& host);

}  // namespace quorvel
