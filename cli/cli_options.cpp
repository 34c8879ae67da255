#include "cli/cli_options.h"

namespace quorvel::cli {

const char kUsageText[] =
    "Usage:\n"
    "  quorvel-cli lock [options] PATH...     protect pages\n"
    "  quorvel-cli unlock [-r] PATH...        put pages back from their .bak copies\n"
    "  quorvel-cli project create FILE.qvp [lock options] [PATH...]\n"
    "                                         save files, accounts and options\n"
    "  quorvel-cli project show [--show-passwords] FILE.qvp\n"
    "                                         print what a project file holds\n"
    "  quorvel-cli --help | --version\n"
    "\n"
    "Each PATH is a file, or a folder whose *.htm and *.html files are taken\n"
    "(-r also takes those of its sub-folders). A .txt file given by name is\n"
    "locked into NAME.txt.htm beside it and shown as plain text.\n"
    "\n"
    "Projects (lock, unlock):\n"
    "      --project FILE       start from the files, accounts and options of a\n"
    "                           project file; PATHs, accounts and option flags\n"
    "                           given as well replace what the project holds.\n"
    "                           Without a project, lock takes its options from\n"
    "                           option.ini beside this program, as the window does\n"
    "\n"
    "Who may open the pages (lock):\n"
    "  -u, --user ID:PASSWORD   an account; repeat for more. With no colon,\n"
    "                           the password is asked for (or read from stdin)\n"
    "      --users-file FILE    accounts, one per line: ID,PASSWORD,E-MAIL,NOTES\n"
    "      --single-password    one shared password instead of accounts\n"
    "      --password-file FILE read the shared password from the file's first line\n"
    "      --password-stdin     read passwords from standard input, one per line\n"
    "                           (the shared one, or one per -u ID without colon)\n"
    "\n"
    "How the pages behave (lock):\n"
    "      --template NAME      page template file name (default: default.htm)\n"
    "      --templates-dir DIR  template folder (default: templates/ beside this\n"
    "                           program); single-password templates are in its\n"
    "                           singlepassword/ sub-folder\n"
    "      --session-cookies    one login opens every page until the browser closes\n"
    "      --no-session-cookies ask on every page\n"
    "      --double-byte        write non-ASCII characters as character references\n"
    "      --no-double-byte     leave the characters as they are\n"
    "      --no-backup          do not keep PATH.bak copies (unlock needs them!)\n"
    "      --backup             keep PATH.bak copies\n"
    "      --redirect URL       go to URL after a wrong password\n"
    "      --no-redirect        stay on the page after a wrong password\n"
    "  -r, --recursive          include sub-folders of folder PATHs\n"
    "\n"
    "Exit status: 0 done, 1 the run was refused or incomplete, 2 bad usage.\n"
    "\n"
    "Examples:\n"
    "  quorvel-cli lock -u alice:s3cret -u bob:hunter2 site/\n"
    "  quorvel-cli lock --single-password --password-file pw.txt -r site/\n"
    "  quorvel-cli unlock -r site/\n"
    "  quorvel-cli project create site.qvp -u alice:s3cret site/\n"
    "  quorvel-cli lock --project site.qvp\n";

std::string FirstLine(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& args, std::string& error) {
  CliOptions options;
  if (args.empty()) {
    error = "missing command (lock or unlock)";
    return std::nullopt;
  }
  std::size_t index = 0;
  const std::string& command = args[index++];
  if (command == "-h" || command == "--help" || command == "help") {
    options.command = Command::kHelp;
    return options;
  }
  if (command == "--version") {
    options.command = Command::kVersion;
    return options;
  }
  if (command == "lock") {
    options.command = Command::kLock;
  } else if (command == "unlock") {
    options.command = Command::kUnlock;
  } else if (command == "project") {
    const std::string action = index < args.size() ? args[index++] : "";
    if (action == "create") {
      options.command = Command::kProjectCreate;
    } else if (action == "show") {
      options.command = Command::kProjectShow;
    } else {
      error = action.empty() ? "project needs create or show"
                             : "unknown project command '" + action + "' (expected create or show)";
      return std::nullopt;
    }
  } else {
    error = "unknown command '" + command + "' (expected lock, unlock or project)";
    return std::nullopt;
  }
  // Lock options describe a project, so project create takes them too.
  const bool locking = options.command == Command::kLock || options.command == Command::kProjectCreate;
  const bool projectCommand =
      options.command == Command::kProjectCreate || options.command == Command::kProjectShow;

  bool onlyPaths = false;
  while (index < args.size()) {
    std::string arg = args[index++];
    if (onlyPaths || arg.empty() || arg[0] != '-' || arg == "-") {
      // The project commands name their project file first.
      if (projectCommand && !options.projectFile) {
        options.projectFile = arg;
      } else {
        options.paths.push_back(arg);
      }
      continue;
    }
    if (arg == "--") {
      onlyPaths = true;
      continue;
    }
    // "--name=value" is accepted as well as "--name value".
    std::optional<std::string> inlineValue;
    if (arg.rfind("--", 0) == 0) {
      if (std::size_t eq = arg.find('='); eq != std::string::npos) {
        inlineValue = arg.substr(eq + 1);
        arg = arg.substr(0, eq);
      }
    }
    auto value = [&]() -> std::optional<std::string> {
      if (inlineValue) return inlineValue;
      if (index >= args.size()) {
        error = "option " + arg + " needs a value";
        return std::nullopt;
      }
      return args[index++];
    };
    auto lockOnly = [&]() {
      if (!locking) error = "option " + arg + " applies to lock and project create only";
      return locking;
    };
    auto runOnly = [&]() {
      if (projectCommand) error = "option " + arg + " applies to lock and unlock only";
      return !projectCommand;
    };
    auto showOnly = [&]() {
      bool showing = options.command == Command::kProjectShow;
      if (!showing) error = "option " + arg + " applies to project show only";
      return showing;
    };
    auto flag = [&]() {
      if (inlineValue) error = "option " + arg + " takes no value";
      return !inlineValue;
    };

    if (arg == "-h" || arg == "--help") {
      options.command = Command::kHelp;
      return options;
    } else if (arg == "-r" || arg == "--recursive") {
      if (options.command == Command::kProjectShow) {
        error = "option " + arg + " does not apply to project show";
        return std::nullopt;
      }
      if (!flag()) return std::nullopt;
      options.recursive = true;
    } else if (arg == "-u" || arg == "--user") {
      if (!lockOnly()) return std::nullopt;
      auto v = value();
      if (!v) return std::nullopt;
      CliOptions::Account account;
      if (std::size_t colon = v->find(':'); colon != std::string::npos) {
        account.user.userId = v->substr(0, colon);
        account.user.password = v->substr(colon + 1);
      } else {
        account.user.userId = *v;
        account.passwordMissing = true;
      }
      options.accounts.push_back(account);
    } else if (arg == "--users-file") {
      if (!lockOnly()) return std::nullopt;
      auto v = value();
      if (!v) return std::nullopt;
      CliOptions::Account account;
      account.usersFile = *v;
      options.accounts.push_back(account);
    } else if (arg == "--single-password") {
      if (!lockOnly() || !flag()) return std::nullopt;
      options.singlePassword = true;
    } else if (arg == "--password-file") {
      if (!lockOnly()) return std::nullopt;
      auto v = value();
      if (!v) return std::nullopt;
      options.passwordFile = *v;
    } else if (arg == "--password-stdin") {
      if (!lockOnly() || !flag()) return std::nullopt;
      options.passwordStdin = true;
    } else if (arg == "--template") {
      if (!lockOnly()) return std::nullopt;
      auto v = value();
      if (!v) return std::nullopt;
      options.templateName = *v;
    } else if (arg == "--templates-dir") {
      if (!lockOnly()) return std::nullopt;
      auto v = value();
      if (!v) return std::nullopt;
      options.templatesDir = *v;
    } else if (arg == "--session-cookies") {
      if (!lockOnly() || !flag()) return std::nullopt;
      options.sessionCookies = true;
    } else if (arg == "--no-session-cookies") {
      if (!lockOnly() || !flag()) return std::nullopt;
      options.sessionCookies = false;
    } else if (arg == "--double-byte") {
      if (!lockOnly() || !flag()) return std::nullopt;
      options.doubleByte = true;
    } else if (arg == "--no-double-byte") {
      if (!lockOnly() || !flag()) return std::nullopt;
      options.doubleByte = false;
    } else if (arg == "--no-backup") {
      if (!lockOnly() || !flag()) return std::nullopt;
      options.backupFiles = false;
    } else if (arg == "--backup") {
      if (!lockOnly() || !flag()) return std::nullopt;
      options.backupFiles = true;
    } else if (arg == "--redirect") {
      if (!lockOnly()) return std::nullopt;
      auto v = value();
      if (!v) return std::nullopt;
      options.redirect = true;
      options.redirectUrl = *v;
    } else if (arg == "--no-redirect") {
      if (!lockOnly() || !flag()) return std::nullopt;
      options.redirect = false;
    } else if (arg == "--project") {
      if (!runOnly()) return std::nullopt;
      auto v = value();
      if (!v) return std::nullopt;
      options.projectFile = *v;
    } else if (arg == "--show-passwords") {
      if (!showOnly() || !flag()) return std::nullopt;
      options.showPasswords = true;
    } else {
      error = "unknown option " + arg;
      return std::nullopt;
    }
  }

  if (projectCommand && !options.projectFile) {
    error = "no project FILE given";
    return std::nullopt;
  }
  if (options.command == Command::kProjectShow && !options.paths.empty()) {
    error = "project show takes one FILE";
    return std::nullopt;
  }
  // A project brings its own files; project create may start without any.
  if (options.paths.empty() && !options.projectFile) {
    error = "no PATH given";
    return std::nullopt;
  }
  if (locking) {
    if (options.passwordFile && options.passwordStdin) {
      error = "give either --password-file or --password-stdin, not both";
      return std::nullopt;
    }
    if (options.singlePassword && !options.accounts.empty()) {
      error = "--single-password cannot be combined with -u or --users-file";
      return std::nullopt;
    }
    if (!options.singlePassword && options.passwordFile) {
      error = "--password-file needs --single-password";
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace quorvel::cli
