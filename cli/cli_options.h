// Command-line parsing for quorvel-cli: turns argv into a command and the
// settings of a lock or unlock run. No I/O beyond reading the files that
// options name (users file, password file) through the callbacks given.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/project_data.h"

namespace quorvel::cli {

enum class Command { kHelp, kVersion, kLock, kUnlock, kProjectCreate, kProjectShow };

struct CliOptions {
  Command command = Command::kHelp;
  std::vector<std::string> paths;  // as given, files or folders
  bool recursive = false;

  // Accounts from -u and --users-file, in the order given. An -u without a
  // colon leaves its password to be asked for (passwordMissing); a
  // --users-file entry names the file to read accounts from instead.
  struct Account {
    UserItem user;
    bool passwordMissing = false;
    std::string usersFile;
  };
  std::vector<Account> accounts;

  bool singlePassword = false;
  std::optional<std::string> passwordFile;
  bool passwordStdin = false;

  std::optional<std::string> templateName;
  std::optional<std::string> templatesDir;
  std::optional<bool> sessionCookies;
  std::optional<bool> doubleByte;
  std::optional<bool> backupFiles;
  std::optional<std::string> redirectUrl;
  std::optional<bool> redirect;  // --no-redirect sets false

  // lock and unlock --project FILE: the project to start from. project
  // create and project show: the project file to write or print.
  std::optional<std::string> projectFile;
  bool showPasswords = false;
};

// Parses argv[1..]. On a usage error returns nullopt and sets `error`.
std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& args, std::string& error);

// The first line of `text` without its line end.
std::string FirstLine(const std::string& text);

extern const char kUsageText[];

}  // namespace quorvel::cli
