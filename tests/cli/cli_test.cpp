#include <gtest/gtest.h>
#include <sys/stat.h>

#include "cli/cli_options.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/page_reader.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

using testing::Exists;
using testing::OpenLockedPage;
using testing::ReadFile;
using testing::RunCli;
using testing::TempDir;
using testing::WriteFile;

class CliTest : public ::testing::Test {
 protected:
  CliTest() {
    ::mkdir(dir.File("site").c_str(), 0755);
    ::mkdir(dir.File("site/sub").c_str(), 0755);
    WriteFile(dir.File("site/index.html"), "<p>index</p>");
    WriteFile(dir.File("site/B.HTM"), "<p>b</p>");
    WriteFile(dir.File("site/notes.txt"), "notes");
    WriteFile(dir.File("site/sub/deep.htm"), "<p>deep</p>");
  }

  std::vector<std::string> LockArgs(std::vector<std::string> extra) {
    std::vector<std::string> args = {"lock", "--templates-dir", testing::TestTemplatesFolder()};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }

  TempDir dir;
};

TEST_F(CliTest, LocksAFoldersPagesAndUnlocksThem) {
  auto result = RunCli(LockArgs({"-u", "alice:pw:with:colons", dir.File("site")}));
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("Lock File(s) successfully!"), std::string::npos);
  EXPECT_NE(result.out.find("FileName"), std::string::npos);
  EXPECT_NE(result.out.find(dir.File("site/index.html")), std::string::npos);
  EXPECT_EQ(OpenLockedPage(ReadFile(dir.File("site/index.html")), "alice", "pw:with:colons"), "<p>index</p>");
  EXPECT_EQ(OpenLockedPage(ReadFile(dir.File("site/B.HTM")), "alice", "pw:with:colons"), "<p>b</p>");
  EXPECT_EQ(ReadFile(dir.File("site/sub/deep.htm")), "<p>deep</p>");  // not recursive
  EXPECT_FALSE(Exists(dir.File("site/notes.txt.htm")));                 // only pages from folders

  result = RunCli({"unlock", dir.File("site")});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("Unlock File(s) OK!"), std::string::npos);
  EXPECT_EQ(ReadFile(dir.File("site/index.html")), "<p>index</p>");

  result = RunCli({"unlock", dir.File("site")});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("The backup file(s) cannot be found!"), std::string::npos);
}

TEST_F(CliTest, RecursiveTextFileAndOptions) {
  auto result = RunCli(LockArgs({"-r", "--no-backup", "--session-cookies", "--redirect", "https://example.org/no",
                                 "-u", "alice:pw", dir.File("site"), dir.File("site/notes.txt")}));
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::string deep = ReadFile(dir.File("site/sub/deep.htm"));
  EXPECT_EQ(OpenLockedPage(deep, "alice", "pw"), "<p>deep</p>");
  auto page = testing::ParseLockedPage(deep);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->useCookie, "true");
  EXPECT_EQ(page->useRedirect, "true");
  EXPECT_EQ(page->redirectUrl, "https://example.org/no");
  EXPECT_FALSE(Exists(dir.File("site/sub/deep.htm.bak")));
  auto text = OpenLockedPage(ReadFile(dir.File("site/notes.txt.htm")), "alice", "pw");
  ASSERT_TRUE(text);
  EXPECT_NE(text->find("<pre>notes</pre>"), std::string::npos);
}

TEST_F(CliTest, AccountsFromUsersFileAndStandardInput) {
  WriteFile(dir.File("users.txt"), "alice,pw-a,a@example.org,first\r\n\"smith, john\",pw-s,,\r\n");
  auto result = RunCli(LockArgs({"--users-file", dir.File("users.txt"), "-u", "carol", "--password-stdin",
                                 dir.File("site/index.html")}),
                       "pw-c\n");
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::string page = ReadFile(dir.File("site/index.html"));
  for (auto [user, password] : {std::pair{"alice", "pw-a"}, {"smith, john", "pw-s"}, {"carol", "pw-c"}})
    EXPECT_EQ(OpenLockedPage(page, user, password), "<p>index</p>") << user;
}

TEST_F(CliTest, SinglePasswordFromFileOrStandardInput) {
  WriteFile(dir.File("pw.txt"), "together\r\nsecond line ignored\n");
  auto result = RunCli(LockArgs({"--single-password", "--password-file", dir.File("pw.txt"),
                                 dir.File("site/index.html")}));
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(OpenLockedPage(ReadFile(dir.File("site/index.html")), "default", "together"), "<p>index</p>");

  result = RunCli(LockArgs({"--single-password", "--password-stdin", dir.File("site/B.HTM")}), "piped\n");
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(OpenLockedPage(ReadFile(dir.File("site/B.HTM")), "default", "piped"), "<p>b</p>");
}

TEST_F(CliTest, RefusedRunsExitWithOneAndTouchNothing) {
  struct Case {
    std::vector<std::string> args;
    std::string input;
    std::string message;
  } cases[] = {
      {{"--template", "missing.htm", "-u", "a:b"}, "", "Template file cannot be opened!"},
      {{"--single-password", "--password-stdin"}, "\n", "No password!"},
      {{"--users-file", "EMPTY"}, "", "No username/password in the user list!"},
      {{"-u", "a:" + std::string(129, 'x')}, "", "longer than 128 bytes"},
  };
  WriteFile(dir.File("empty-users.txt"), "");
  for (Case& c : cases) {
    for (auto& arg : c.args)
      if (arg == "EMPTY") arg = dir.File("empty-users.txt");
    c.args.push_back(dir.File("site/index.html"));
    auto result = RunCli(LockArgs(c.args), c.input);
    EXPECT_EQ(result.exitCode, 1) << c.message;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_EQ(ReadFile(dir.File("site/index.html")), "<p>index</p>");
    EXPECT_FALSE(Exists(dir.File("site/index.html.bak")));
  }
}

TEST_F(CliTest, BadUsageExitsWithTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate", "x"},
      {"lock"},
      {"lock", "--bogus", dir.File("site")},
      {"lock", "-u"},
      {"lock", "-u", "a:b", dir.File("no-such-file.htm")},
      {"lock", "--single-password", "-u", "a:b", dir.File("site")},
      {"lock", "--password-file", dir.File("pw"), "-u", "a:b", dir.File("site")},
      {"unlock", "--no-backup", dir.File("site")},
      {"lock", "-u", "carol", dir.File("site")},  // no terminal to ask on
      {"lock", "--users-file", dir.File("missing.txt"), dir.File("site")},
  };
  for (const auto& args : cases) {
    auto result = RunCli(args);
    EXPECT_EQ(result.exitCode, 2) << ::testing::PrintToString(args) << result.err;
    EXPECT_NE(result.err.find("quorvel-cli: "), std::string::npos);
  }
  EXPECT_EQ(ReadFile(dir.File("site/index.html")), "<p>index</p>");
}

TEST_F(CliTest, HelpDescribesEveryOption) {
  auto result = RunCli({"--help"});
  EXPECT_EQ(result.exitCode, 0);
  for (const char* option : {"--user", "--users-file", "--single-password", "--password-file", "--password-stdin",
                             "--template", "--templates-dir", "--session-cookies", "--double-byte", "--no-backup",
                             "--redirect", "--recursive", "unlock"})
    EXPECT_NE(result.out.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace quorvel
