#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "tests/cli/cli_runner.h"
#include "tests/support/page_reader.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

using testing::CliResult;
using testing::Exists;
using testing::OpenLockedPage;
using testing::ReadFile;
using testing::RunCli;
using testing::TempDir;
using testing::WriteFile;

class ProjectCliTest : public ::testing::Test {
 protected:
  ProjectCliTest() {
    ::mkdir(dir.File("site").c_str(), 0755);
    WriteFile(dir.File("site/index.html"), "<p>index</p>");
    WriteFile(dir.File("site/about.htm"), "<p>about</p>");
  }

  CliResult CreateProject(std::vector<std::string> extra) {
    std::vector<std::string> args = {"project", "create", project};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunCli(args);
  }

  TempDir dir;
  const std::string project = dir.File("site.qvp");
};

TEST_F(ProjectCliTest, CreatedProjectShowsWhatItHolds) {
  CliResult result = CreateProject({"-u", "alice:s3cret", "-u", "bob:hunter2", "--no-backup", "--session-cookies",
                                    "--redirect", "https://example.org/no", "--template", "t.htm", dir.File("site")});
  ASSERT_EQ(result.exitCode, 0) << result.err;

  result = RunCli({"project", "show", project});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  for (const std::string& expected :
       {std::string("Files (2):"), dir.File("site/about.htm"), dir.File("site/index.html"), std::string("Accounts (2):"),
        std::string("alice\t********"), std::string("bob\t********"), std::string("Password mode: accounts"),
        std::string("Protection type: Session cookies"), std::string("Backup files: off"),
        std::string("Redirect: on https://example.org/no"), std::string("Template: t.htm")}) {
    EXPECT_NE(result.out.find(expected), std::string::npos) << expected << "\n" << result.out;
  }
  EXPECT_EQ(result.out.find("s3cret"), std::string::npos);
  EXPECT_EQ(result.out.find("hunter2"), std::string::npos);

  result = RunCli({"project", "show", "--show-passwords", project});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("alice\ts3cret"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("bob\thunter2"), std::string::npos) << result.out;
}

TEST_F(ProjectCliTest, LockAndUnlockRunOnAProject) {
  ASSERT_EQ(CreateProject({"-u", "alice:pw", "--no-backup", dir.File("site/index.html")}).exitCode, 0);

  // The project's options apply unless a flag overrides them.
  CliResult result = RunCli({"lock", "--templates-dir", testing::TestTemplatesFolder(), "--project", project});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(OpenLockedPage(ReadFile(dir.File("site/index.html")), "alice", "pw"), "<p>index</p>");
  EXPECT_FALSE(Exists(dir.File("site/index.html.bak")));
  EXPECT_EQ(ReadFile(dir.File("site/about.htm")), "<p>about</p>");

  result = RunCli({"lock", "--templates-dir", testing::TestTemplatesFolder(), "--project", project, "--backup",
                   "-u", "carol:other", dir.File("site/about.htm")});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string about = ReadFile(dir.File("site/about.htm"));
  EXPECT_EQ(OpenLockedPage(about, "carol", "other"), "<p>about</p>");
  EXPECT_FALSE(OpenLockedPage(about, "alice", "pw"));
  EXPECT_TRUE(Exists(dir.File("site/about.htm.bak")));

  ASSERT_EQ(CreateProject({dir.File("site/about.htm")}).exitCode, 0);
  result = RunCli({"unlock", "--project", project});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(ReadFile(dir.File("site/about.htm")), "<p>about</p>");
}

TEST_F(ProjectCliTest, FilesThatAreNoProjectAreRefused) {
  WriteFile(dir.File("notes.txt"), "not a project");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"project", "show", dir.File("notes.txt")},
        {"project", "show", dir.File("missing.qvp")},
        {"lock", "-u", "a:b", "--project", dir.File("notes.txt")},
        {"unlock", "--project", dir.File("notes.txt")}}) {
    CliResult result = RunCli(args);
    EXPECT_EQ(result.exitCode, 1) << ::testing::PrintToString(args);
    EXPECT_NE(result.err.find("cannot load project"), std::string::npos) << result.err;
  }
  EXPECT_EQ(ReadFile(dir.File("site/index.html")), "<p>index</p>");
  EXPECT_EQ(ReadFile(dir.File("notes.txt")), "not a project");
}

TEST_F(ProjectCliTest, BadProjectUsageExitsWithTwo) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"project"},
                                               {"project", "open", project},
                                               {"project", "show"},
                                               {"project", "create"},
                                               {"project", "show", project, dir.File("site")},
                                               {"project", "show", "--no-backup", project},
                                               {"project", "create", project, "--show-passwords"},
                                               {"project", "create", project, "--project", project},
                                               {"unlock", "--project", project, "--no-backup"},
                                               {"lock", "--show-passwords", dir.File("site")}}) {
    CliResult result = RunCli(args);
    EXPECT_EQ(result.exitCode, 2) << ::testing::PrintToString(args) << result.err;
  }
  EXPECT_FALSE(Exists(project));
}

TEST_F(ProjectCliTest, HelpDescribesTheProjectCommands) {
  CliResult result = RunCli({"--help"});
  EXPECT_EQ(result.exitCode, 0);
  for (const char* text : {"project create", "project show", "--show-passwords", "--project", "option.ini", "--backup",
                           "--no-session-cookies", "--no-double-byte", "--no-redirect"}) {
    EXPECT_NE(result.out.find(text), std::string::npos) << text;
  }
}

// A copy of quorvel-cli in a folder of its own, so that it finds the
// option.ini and the templates placed beside it.
class OwnAppFolder {
 public:
  OwnAppFolder() {
    std::filesystem::copy_file(QUORVEL_CLI_PATH, app.File("quorvel-cli"));
    std::filesystem::create_directories(app.File("templates/singlepassword"));
  }

  CliResult Run(const std::vector<std::string>& args) const {
    std::string command = "setsid '" + app.File("quorvel-cli") + "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    command += " </dev/null >'" + app.File("out") + "' 2>'" + app.File("err") + "'";
    int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(app.File("out")), ReadFile(app.File("err"))};
  }

  TempDir app;
};

TEST_F(ProjectCliTest, LockTakesItsDefaultsFromOptionIni) {
  OwnAppFolder copy;
  const std::string testTemplate = ReadFile(testing::TestTemplatesFolder() + "default.htm");
  WriteFile(copy.app.File("templates/custom.htm"), testTemplate);
  WriteFile(copy.app.File("option.ini"), "[Option]\nTemplate=custom.htm\nBackupfile=0\nProtectionType=1\n");

  CliResult result = copy.Run({"lock", "-u", "alice:pw", dir.File("site/index.html")});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string page = ReadFile(dir.File("site/index.html"));
  EXPECT_EQ(OpenLockedPage(page, "alice", "pw"), "<p>index</p>");
  auto parsed = testing::ParseLockedPage(page);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->useCookie, "true");
  EXPECT_FALSE(Exists(dir.File("site/index.html.bak")));

  // Flags still win over the settings.
  result = copy.Run({"lock", "-u", "alice:pw", "--backup", "--no-session-cookies", dir.File("site/about.htm")});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(Exists(dir.File("site/about.htm.bak")));
  parsed = testing::ParseLockedPage(ReadFile(dir.File("site/about.htm")));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->useCookie, "false");

  // The settings file is only read.
  EXPECT_EQ(ReadFile(copy.app.File("option.ini")), "[Option]\nTemplate=custom.htm\nBackupfile=0\nProtectionType=1\n");
}

}  // namespace
}  // namespace quorvel
