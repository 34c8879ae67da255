// The project side of quorvel-cli: where a command's project comes from (a
// project file, or the settings in option.ini as the window starts with),
// how command-line flags override it, and the project create and project
// show commands.
#pragma once

#include <cstdio>
#include <string>

#include "cli/cli_options.h"
#include "engine/project_data.h"

namespace quorvel::cli {

// The project a command starts from: the file of --project (or of project
// show), else for lock and project create the options and template names of
// `settingsPath`. False, with `error` set, when the project file cannot be
// loaded.
bool StartingProject(const CliOptions& options, const std::string& settingsPath, CProjectData& project,
                     std::string& error);

// Applies the option flags given on the command line over `lock`.
void ApplyOptionFlags(const CliOptions& options, LockOptions& lock);

// True when the command line names accounts or a shared password, which
// then replace those of the project.
bool HasCredentialFlags(const CliOptions& options);

// Prints the files, accounts, password mode and options of `project`.
// Passwords show as "********" unless `showPasswords` is set.
void PrintProject(const CProjectData& project, bool showPasswords, std::FILE* out);

}  // namespace quorvel::cli
