// quorvel-cli: locks and unlocks pages from the command line, for build
// pipelines, with the same engine as the desktop wizard.
#include <malloc.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/console_host.h"
#include "cli/project_commands.h"
#include "engine/lock_run.h"
#include "engine/unlock_run.h"
#include "engine/user_list_text.h"
#include "persist/project_file.h"
#include "persist/settings.h"
#include "platform/file_system.h"

namespace quorvel::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

class UsageError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

bool HasPageExtension(const std::string& name) {
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  auto endsWith = [&](const char* suffix) {
    std::size_t n = std::char_traits<char>::length(suffix);
    return lower.size() > n && lower.compare(lower.size() - n, n, suffix) == 0;
  };
  return endsWith(".htm") || endsWith(".html");
}

// The pages of a folder, sorted by path so every run sees the same order.
void AddFolderPages(const std::filesystem::path& folder, bool recursive, std::vector<std::string>& out) {
  std::vector<std::string> found;
  std::error_code error;
  auto visit = [&](const std::filesystem::directory_entry& entry) {
    std::error_code ignored;
    if (entry.is_regular_file(ignored) && HasPageExtension(entry.path().filename().string()))
      found.push_back(entry.path().string());
  };
  if (recursive) {
    for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
      visit(*it);
  } else {
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
      visit(*it);
  }
  if (error) throw UsageError("cannot read folder " + folder.string() + ": " + error.message());
  std::sort(found.begin(), found.end());
  out.insert(out.end(), found.begin(), found.end());
}

std::vector<std::string> ExpandPaths(const CliOptions& options) {
  std::vector<std::string> files;
  for (const std::string& given : options.paths) {
    std::filesystem::path path = std::filesystem::absolute(given).lexically_normal();
    std::error_code error;
    auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) throw UsageError("no such file or folder: " + given);
    if (std::filesystem::is_directory(status)) {
      AddFolderPages(path, options.recursive, files);
    } else {
      files.push_back(path.string());
    }
  }
  return files;
}

// Reads one line from the terminal without echoing it.
std::string PromptHidden(const std::string& prompt) {
  std::FILE* tty = std::fopen("/dev/tty", "r+");
  if (!tty) throw UsageError("no terminal to ask for a password; use --password-file or --password-stdin");
  std::fputs(prompt.c_str(), tty);
  std::fflush(tty);
  int fd = ::fileno(tty);
  termios saved{};
  bool restore = ::tcgetattr(fd, &saved) == 0;
  if (restore) {
    termios silent = saved;
    silent.c_lflag &= static_cast<tcflag_t>(~ECHO);
    ::tcsetattr(fd, TCSAFLUSH, &silent);
  }
  std::string line;
  for (int c; (c = std::fgetc(tty)) != EOF && c != '\n';) line.push_back(static_cast<char>(c));
  if (restore) ::tcsetattr(fd, TCSAFLUSH, &saved);
  std::fputs("\n", tty);
  std::fclose(tty);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// Passwords piped on standard input, one per line, handed out in order.
class StdinPasswords {
 public:
  std::string Next() {
    if (!loaded_) {
      std::string all((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
      std::size_t start = 0;
      while (start < all.size()) {
        std::size_t end = all.find('\n', start);
        if (end == std::string::npos) end = all.size();
        lines_.push_back(FirstLine(all.substr(start, end - start)));
        start = end + 1;
      }
      loaded_ = true;
    }
    if (next_ >= lines_.size()) throw UsageError("standard input holds fewer passwords than needed");
    return lines_[next_++];
  }

 private:
  bool loaded_ = false;
  std::vector<std::string> lines_;
  std::size_t next_ = 0;
};

void FillCredentials(const CliOptions& options, CProjectData& project) {
  StdinPasswords stdinPasswords;
  if (options.singlePassword) {
    project.singlePasswordMode = true;
    if (options.passwordFile) {
      auto text = platform::ReadWholeFile(*options.passwordFile);
      if (!text) throw UsageError("cannot read password file " + *options.passwordFile);
      project.singlePassword = FirstLine(*text);
    } else if (options.passwordStdin) {
      project.singlePassword = stdinPasswords.Next();
    } else {
      project.singlePassword = PromptHidden("Password: ");
    }
    return;
  }
  for (const CliOptions::Account& account : options.accounts) {
    if (!account.usersFile.empty()) {
      auto text = platform::ReadWholeFile(account.usersFile);
      if (!text) throw UsageError("cannot read users file " + account.usersFile);
      std::vector<UserItem> users = ParseUserListText(*text);
      project.users.insert(project.users.end(), users.begin(), users.end());
      continue;
    }
    UserItem user = account.user;
    if (account.passwordMissing) {
      user.password = options.passwordStdin ? stdinPasswords.Next()
                                            : PromptHidden("Password for " + user.userId + ": ");
    }
    project.users.push_back(user);
  }
}

int Lock(const CliOptions& options, CProjectData& project) {
  LockEnvironment environment = DefaultLockEnvironment();
  if (options.templatesDir) environment.templatesFolder = *options.templatesDir;

  ConsoleHost host;
  RunOutcome outcome = RunLock(project, host, environment);
  if (outcome == RunOutcome::kNoFiles) {
    std::fputs("No files to lock.\n", stderr);
    return kExitRefused;
  }
  if (outcome != RunOutcome::kCompleted) {
    host.PrintMessages(stderr);
    return kExitRefused;
  }
  host.PrintRows(stdout);
  host.PrintMessages(stdout);
  return kExitOk;
}

int Unlock(CProjectData& project) {
  ConsoleHost host;
  RunOutcome outcome = RunUnlock(project, host);
  if (outcome == RunOutcome::kNoFiles) {
    std::fputs("No files to unlock.\n", stderr);
    return kExitRefused;
  }
  host.PrintMessages(outcome == RunOutcome::kCompleted ? stdout : stderr);
  return outcome == RunOutcome::kCompleted ? kExitOk : kExitRefused;
}

int CreateProject(const CliOptions& options, const CProjectData& project) {
  ProjectFileResult result = SaveProject(project, *options.projectFile);
  if (!result.ok) {
    std::fprintf(stderr, "quorvel-cli: cannot save project %s: %s\n", options.projectFile->c_str(),
                 result.message.c_str());
    return kExitRefused;
  }
  std::printf("Saved %s: %zu file(s), %zu account(s).\n", options.projectFile->c_str(), project.files.size(),
              project.users.size());
  return kExitOk;
}

int Main(int argc, char** argv) {
#ifdef __GLIBC__
  // A lock run allocates buffers the size of each page, one page after
  // another; keeping freed memory for the next page instead of handing it
  // back spares the kernel from clearing it again for every file.
  mallopt(M_MMAP_THRESHOLD, 256 << 20);
  mallopt(M_TRIM_THRESHOLD, 512 << 20);
#endif
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  std::optional<CliOptions> options = ParseCommandLine(args, error);
  if (!options) {
    std::fprintf(stderr, "quorvel-cli: %s\nTry 'quorvel-cli --help' for more information.\n", error.c_str());
    return kExitUsage;
  }
  if (options->command == Command::kHelp) {
    std::fputs(kUsageText, stdout);
    return kExitOk;
  }
  if (options->command == Command::kVersion) {
    std::puts("quorvel-cli " QUORVEL_VERSION);
    return kExitOk;
  }
  try {
    CProjectData project;
    std::string projectError;
    if (!StartingProject(*options, SettingsFilePath(), project, projectError)) {
      std::fprintf(stderr, "quorvel-cli: %s\n", projectError.c_str());
      return kExitRefused;
    }
    if (options->command == Command::kProjectShow) {
      PrintProject(project, options->showPasswords, stdout);
      return kExitOk;
    }
    // PATHs given replace the files of a project.
    if (!options->paths.empty()) {
      project.files.clear();
      for (const std::string& path : ExpandPaths(*options)) project.files.push_back(MakeFileItem(path));
    }
    if (options->command == Command::kUnlock) return Unlock(project);

    ApplyOptionFlags(*options, project.options);
    if (HasCredentialFlags(*options)) {
      project.users.clear();
      project.singlePasswordMode = false;
      FillCredentials(*options, project);
    }
    return options->command == Command::kLock ? Lock(*options, project) : CreateProject(*options, project);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "quorvel-cli: %s\n", e.what());
    return kExitUsage;
  }
}

}  // namespace
}  // namespace quorvel::cli

int main(int argc, char** argv) { return quorvel::cli::Main(argc, argv); }
