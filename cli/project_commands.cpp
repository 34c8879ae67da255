#include "cli/project_commands.h"

#include "persist/project_file.h"
#include "persist/settings.h"

namespace quorvel::cli {
namespace {

const char* OnOff(bool flag) { return flag ? "on" : "off"; }

std::string Secret(const std::string& password, bool show) {
  if (show) return password;
  return password.empty() ? "(none)" : "********";
}

}  // namespace

bool StartingProject(const CliOptions& options, const std::string& settingsPath, CProjectData& project,
                     std::string& error) {
  project = CProjectData{};
  const bool readsProject = options.command == Command::kProjectShow ||
                            (options.projectFile && options.command != Command::kProjectCreate);
  if (readsProject) {
    ProjectFileResult result = LoadProject(project, *options.projectFile);
    if (!result.ok) error = "cannot load project " + *options.projectFile + ": " + result.message;
    return result.ok;
  }
  if (options.command == Command::kLock || options.command == Command::kProjectCreate) {
    project.options = LoadSettings(settingsPath).options;
  }
  return true;
}

void ApplyOptionFlags(const CliOptions& options, LockOptions& lock) {
  if (options.templateName) lock.templateName = lock.singleTemplateName = *options.templateName;
  if (options.sessionCookies) lock.sessionCookies = *options.sessionCookies;
  if (options.doubleByte) lock.doubleByte = *options.doubleByte;
  if (options.backupFiles) lock.backupFiles = *options.backupFiles;
  if (options.redirect) lock.redirect = *options.redirect;
  if (options.redirectUrl) lock.redirectUrl = *options.redirectUrl;
}

bool HasCredentialFlags(const CliOptions& options) { return options.singlePassword || !options.accounts.empty(); }

void PrintProject(const CProjectData& project, bool showPasswords, std::FILE* out) {
  std::fprintf(out, "Files (%zu):\n", project.files.size());
  for (const FileItem& file : project.files) {
    std::fprintf(out, "  %s\t%s\t%s\n", file.fileName.c_str(), file.sizeText.c_str(), file.path.c_str());
  }
  std::fprintf(out, "Accounts (%zu):\n", project.users.size());
  for (const UserItem& user : project.users) {
    std::fprintf(out, "  %s\t%s\t%s\t%s\n", user.userId.c_str(), Secret(user.password, showPasswords).c_str(),
                 user.email.c_str(), user.notes.c_str());
  }
  if (project.singlePasswordMode) {
    std::fprintf(out, "Password mode: single password %s\n",
                 Secret(project.singlePassword, showPasswords).c_str());
  } else {
    std::fputs("Password mode: accounts\n", out);
  }
  const LockOptions& lock = project.options;
  std::fprintf(out,
               "Options:\n"
               "  Protection type: %s\n"
               "  Double bytes charset support: %s\n"
               "  Backup files: %s\n"
               "  Redirect: %s%s%s\n"
               "  Template: %s\n"
               "  Single password template: %s\n",
               lock.sessionCookies ? "Session cookies" : "No cookies", OnOff(lock.doubleByte), OnOff(lock.backupFiles),
               OnOff(lock.redirect), lock.redirectUrl.empty() ? "" : " ", lock.redirectUrl.c_str(),
               lock.templateName.c_str(), lock.singleTemplateName.c_str());
}

}  // namespace quorvel::cli
