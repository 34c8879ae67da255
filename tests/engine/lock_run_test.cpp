#include "engine/lock_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>

#include "platform/file_system.h"
#include "tests/support/page_reader.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

using ::testing::ElementsAre;
using testing::Exists;
using testing::OpenLockedPage;
using testing::ReadFile;
using testing::RecordingHost;
using testing::TempDir;
using testing::WriteFile;

class LockRunTest : public ::testing::Test {
 protected:
  LockRunTest() {
    project.users = {{"alice", "pw-a", "", ""}, {"bob", "pw-b", "", ""}};
    project.options.templateName = "default.htm";
    project.options.singleTemplateName = "default.htm";
    environment.templatesFolder = testing::TestTemplatesFolder();
  }

  std::string AddFile(const std::string& name, const std::string& content) {
    return testing::AddProjectFile(project, dir, name, content);
  }

  RunOutcome Lock() { return RunLock(project, host, environment); }

  // A template of our own in the temp folder.
  void UseTemplate(const std::string& text) {
    ::mkdir(dir.File("tpl").c_str(), 0755);
    WriteFile(dir.File("tpl/t.htm"), text);
    environment.templatesFolder = dir.File("tpl/");
    project.options.templateName = "t.htm";
  }

  TempDir dir;
  CProjectData project;
  RecordingHost host;
  LockEnvironment environment;
};

TEST_F(LockRunTest, LockedPageOpensWithEachAccountToTheOriginalBytes) {
  const std::string original = "<html><title>T</title><body>h\xC3\xA9llo \xE4\xBD\xA0\xE5\xA5\xBD</body></html>\n";
  std::string path = AddFile("page.htm", original);

  EXPECT_EQ(Lock(), RunOutcome::kCompleted);

  std::string page = ReadFile(path);
  EXPECT_EQ(page.find("h\xC3\xA9llo"), std::string::npos);
  EXPECT_EQ(OpenLockedPage(page, "alice", "pw-a"), original);
  EXPECT_EQ(OpenLockedPage(page, "bob", "pw-b"), original);
  EXPECT_EQ(OpenLockedPage(page, "alice", "pw-b"), std::nullopt);
  EXPECT_EQ(OpenLockedPage(page, "Alice", "pw-a"), std::nullopt);
  EXPECT_EQ(ReadFile(path + ".bak"), original);
  EXPECT_EQ(host.messages, std::vector<std::string>{"Lock File(s) successfully!"});
  EXPECT_THAT(host.events, ElementsAre("show", "range 1..1", "pos 0", "clear", "pos 1", "hide", "autosize"));
  EXPECT_EQ(host.rows.size(), 1u);
  EXPECT_EQ(project.lockedFiles, host.rows);
}

TEST_F(LockRunTest, DoubleByteContentBecomesCharacterReferences) {
  project.options.doubleByte = true;
  std::string path = AddFile("page.htm", "<p>caf\xC3\xA9 \xE4\xBD\xA0</p>");
  ASSERT_EQ(Lock(), RunOutcome::kCompleted);
  EXPECT_EQ(OpenLockedPage(ReadFile(path), "alice", "pw-a"), "<p>caf&#233; &#20320;</p>");
}

TEST_F(LockRunTest, TextFilesGetAPageBesideThemAndAreShownAsText) {
  std::string notes = AddFile("notes.txt", "a < b && c > d\nline 2\n");
  std::string upper = AddFile("NOTES2.TXT", "upper");
  std::string other = AddFile("page.text", "not a text file by name");

  ASSERT_EQ(Lock(), RunOutcome::kCompleted);

  EXPECT_EQ(ReadFile(notes), "a < b && c > d\nline 2\n");
  EXPECT_EQ(ReadFile(notes + ".bak"), "a < b && c > d\nline 2\n");
  auto shown = OpenLockedPage(ReadFile(notes + ".htm"), "alice", "pw-a");
  ASSERT_TRUE(shown);
  EXPECT_NE(shown->find("<meta charset=\"utf-8\">"), std::string::npos);
  EXPECT_NE(shown->find("<title>notes.txt</title>"), std::string::npos);
  EXPECT_NE(shown->find("<pre>a &lt; b &amp;&amp; c &gt; d\nline 2\n</pre>"), std::string::npos);

  EXPECT_TRUE(Exists(upper + ".htm"));
  EXPECT_EQ(ReadFile(upper), "upper");
  EXPECT_FALSE(Exists(other + ".htm"));
  EXPECT_EQ(OpenLockedPage(ReadFile(other), "alice", "pw-a"), "not a text file by name");

  ASSERT_EQ(host.rows.size(), 3u);
  EXPECT_EQ(host.rows[0].fileName, "notes.txt.htm");
  EXPECT_EQ(host.rows[0].path, notes + ".htm");
  EXPECT_EQ(host.rows[1].fileName, "NOTES2.TXT.htm");
  EXPECT_EQ(host.rows[2].fileName, "page.text");
  EXPECT_EQ(host.rows[2].path, other);
}

TEST_F(LockRunTest, EmptyAndMissingFilesAreListedButNotTouched) {
  std::string empty = AddFile("empty.htm", "");
  project.files.push_back(MakeFileItem(dir.File("gone.htm")));
  project.files.push_back(MakeFileItem(dir.File("gone.txt")));

  ASSERT_EQ(Lock(), RunOutcome::kCompleted);

  EXPECT_EQ(ReadFile(empty), "");
  EXPECT_FALSE(Exists(empty + ".bak"));
  EXPECT_FALSE(Exists(dir.File("gone.htm")));
  EXPECT_FALSE(Exists(dir.File("gone.txt.htm")));
  ASSERT_EQ(host.rows.size(), 3u);
  EXPECT_EQ(host.rows[0], (FileItem{"empty.htm", "1 KB", empty}));
  EXPECT_EQ(host.rows[1], (FileItem{"gone.htm", "", dir.File("gone.htm")}));
  EXPECT_EQ(host.rows[2], (FileItem{"gone.txt.htm", "", dir.File("gone.txt")}));
  EXPECT_EQ(host.messages.back(), "Lock File(s) successfully!");
}

TEST_F(LockRunTest, ContentEndsAtTheFirstZeroByte) {
  std::string path = AddFile("z.htm", std::string("before\0after", 12));
  ASSERT_EQ(Lock(), RunOutcome::kCompleted);
  EXPECT_EQ(OpenLockedPage(ReadFile(path), "alice", "pw-a"), "before");
}

TEST_F(LockRunTest, LockingTwiceKeepsTheFirstBackupAndNestsThePage) {
  std::string path = AddFile("page.htm", "original");
  ASSERT_EQ(Lock(), RunOutcome::kCompleted);
  std::string firstPage = ReadFile(path);
  ASSERT_EQ(Lock(), RunOutcome::kCompleted);
  EXPECT_EQ(ReadFile(path + ".bak"), "original");
  EXPECT_EQ(OpenLockedPage(ReadFile(path), "alice", "pw-a"), firstPage);
}

TEST_F(LockRunTest, PathListedTwiceIsLockedTwiceInOneRun) {
  std::string path = AddFile("page.htm", "original");
  project.files.push_back(project.files[0]);
  ASSERT_EQ(Lock(), RunOutcome::kCompleted);
  EXPECT_EQ(ReadFile(path + ".bak"), "original");
  auto inner = OpenLockedPage(ReadFile(path), "alice", "pw-a");
  ASSERT_TRUE(inner);
  EXPECT_EQ(OpenLockedPage(*inner, "alice", "pw-a"), "original");
  EXPECT_EQ(host.rows.size(), 2u);
}

TEST_F(LockRunTest, BackupIsIndependentOfTheFileLeftInPlace) {
  std::string notes = AddFile("notes.txt", "text v1");
  std::string page = AddFile("page.htm", "page v1");
  ASSERT_EQ(Lock(), RunOutcome::kCompleted);
  WriteFile(notes, "text v2");
  WriteFile(page, "page v2");
  EXPECT_EQ(ReadFile(notes + ".bak"), "text v1");
  EXPECT_EQ(ReadFile(page + ".bak"), "page v1");
}

TEST_F(LockRunTest, ManyFilesAreCommittedInGroups) {
  std::vector<std::string> paths;
  for (int i = 0; i < 300; ++i) paths.push_back(AddFile("p" + std::to_string(i) + ".htm", "content " + std::to_string(i)));
  ASSERT_EQ(Lock(), RunOutcome::kCompleted);
  ASSERT_EQ(host.rows.size(), paths.size());
  for (std::size_t i = 0; i < paths.size(); i += 37) {
    EXPECT_EQ(host.rows[i].path, paths[i]);
    EXPECT_EQ(ReadFile(paths[i] + ".bak"), "content " + std::to_string(i));
    EXPECT_EQ(OpenLockedPage(ReadFile(paths[i]), "bob", "pw-b"), "content " + std::to_string(i));
  }
  EXPECT_EQ(platform::ListFolder(dir.path()).size(), 2 * paths.size());
}

TEST_F(LockRunTest, WithoutBackupsNoCopyIsMade) {
  project.options.backupFiles = false;
  std::string path = AddFile("page.htm", "original");
  ASSERT_EQ(Lock(), RunOutcome::kCompleted);
  EXPECT_FALSE(Exists(path + ".bak"));
}

TEST_F(LockRunTest, EveryPlaceholderIsFilledAtEveryOccurrence) {
  UseTemplate("U1[%users] U2[%users] C[%bcookie] R[%bredirect] L[%URL] P1[%res] P2[%res]");
  project.options.sessionCookies = true;
  project.options.redirect = true;
  project.options.redirectUrl = "https://example.org/denied?from=%res";
  std::string path = AddFile("page.htm", "x");
  ASSERT_EQ(Lock(), RunOutcome::kCompleted);

  std::string page = ReadFile(path);
  EXPECT_EQ(page.find('%'), std::string::npos) << page;
  EXPECT_NE(page.find("C[true] R[true] L[https://example.org/denied?from="), std::string::npos);
  // The payload fills the two %res of the template and the one that came
  // in with the address.
  std::size_t p1 = page.find("P1[") + 3;
  std::string payload = page.substr(p1, page.find(']', p1) - p1);
  EXPECT_EQ(payload.size(), 2u);
  EXPECT_NE(page.find("P2[" + payload + "]"), std::string::npos);
  EXPECT_NE(page.find("from=" + payload + "]"), std::string::npos);
  std::size_t u1 = page.find("U1[") + 3;
  std::string table = page.substr(u1, page.find(']', u1) - u1);
  EXPECT_NE(page.find("U2[" + table + "]"), std::string::npos);
}

TEST_F(LockRunTest, RedirectNeedsAnAddress) {
  UseTemplate("R[%bredirect] L[%URL] C[%bcookie] %res");
  struct Case {
    bool redirect;
    std::string url;
    std::string expected;
  } cases[] = {
      {true, "", "R[false] L[%URL] C[false]"},
      {false, "https://example.org/", "R[false] L[%URL] C[false]"},
      {true, "https://example.org/", "R[true] L[https://example.org/] C[false]"},
  };
  std::string path = AddFile("page.htm", "x");
  for (const Case& c : cases) {
    project.options.redirect = c.redirect;
    project.options.redirectUrl = c.url;
    project.options.backupFiles = false;
    WriteFile(path, "x");
    ASSERT_EQ(Lock(), RunOutcome::kCompleted);
    EXPECT_EQ(ReadFile(path).rfind(c.expected, 0), 0u) << ReadFile(path);
  }
}

TEST_F(LockRunTest, RefusedRunsTouchNoFileAndKeepThePreviousRows) {
  std::string path = AddFile("page.htm", "original");
  project.lockedFiles = {{"earlier.htm", "1 KB", "/earlier.htm"}};
  struct Case {
    const char* name;
    std::function<void(CProjectData&, LockEnvironment&)> setUp;
    std::string message;
  } cases[] = {
      {"missing template", [](CProjectData& p, LockEnvironment&) { p.options.templateName = "nope.htm"; },
       "Template file cannot be opened!"},
      {"template name leaving the folder",
       [](CProjectData& p, LockEnvironment&) { p.options.templateName = "../templates/default.htm"; },
       "Template file cannot be opened!"},
      {"template folder missing", [](CProjectData&, LockEnvironment& e) { e.templatesFolder = "/nonexistent/"; },
       "Template file cannot be opened!"},
      {"no accounts", [](CProjectData& p, LockEnvironment&) { p.users.clear(); },
       "No username/password in the user list!"},
      {"empty shared password",
       [](CProjectData& p, LockEnvironment&) {
         p.singlePasswordMode = true;
         p.singlePassword.clear();
       },
       "No password!"},
      {"password too long", [](CProjectData& p, LockEnvironment&) { p.users[1].password.assign(200, 'x'); },
       "The password of user \"bob\" is longer than 128 bytes!"},
  };
  for (const Case& c : cases) {
    CProjectData attempt = project;
    LockEnvironment environment = this->environment;
    c.setUp(attempt, environment);
    RecordingHost recorder;
    EXPECT_EQ(RunLock(attempt, recorder, environment), RunOutcome::kRefused) << c.name;
    EXPECT_EQ(recorder.messages, std::vector<std::string>{c.message}) << c.name;
    EXPECT_TRUE(recorder.events.empty()) << c.name;
    EXPECT_EQ(attempt.lockedFiles, project.lockedFiles) << c.name;
    EXPECT_EQ(ReadFile(path), "original") << c.name;
    EXPECT_FALSE(Exists(path + ".bak")) << c.name;
  }
}

TEST_F(LockRunTest, TemplateWithoutContentPlaceholderIsRefused) {
  UseTemplate("<html>no place for the content</html>");
  std::string path = AddFile("page.htm", "original");
  EXPECT_EQ(Lock(), RunOutcome::kRefused);
  EXPECT_EQ(ReadFile(path), "original");
  EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(LockRunTest, NoFilesEndsSilently) {
  project.lockedFiles = {{"earlier.htm", "1 KB", "/earlier.htm"}};
  EXPECT_EQ(Lock(), RunOutcome::kNoFiles);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(host.events.empty());
  EXPECT_EQ(project.lockedFiles.size(), 1u);
}

TEST_F(LockRunTest, SinglePasswordPagesOpenForTheDefaultUser) {
  project.singlePasswordMode = true;
  project.singlePassword = "together";
  std::string path = AddFile("page.htm", "shared content");
  ASSERT_EQ(Lock(), RunOutcome::kCompleted);
  EXPECT_EQ(OpenLockedPage(ReadFile(path), "default", "together"), "shared content");
  EXPECT_EQ(OpenLockedPage(ReadFile(path), "alice", "pw-a"), std::nullopt);
}

TEST_F(LockRunTest, PageKeepsTheFilesPermissionsAndLeavesNoTemporaryFile) {
  std::string path = AddFile("page.htm", "original");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(Lock(), RunOutcome::kCompleted);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  std::vector<std::string> names;
  for (const auto& entry : platform::ListFolder(dir.path())) names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"page.htm", "page.htm.bak"}));
}

// The output of a text file cannot be written when a folder stands at its
// name: the run goes on, the text file and the folder stay as they were.
TEST_F(LockRunTest, FailedWriteLeavesEverythingAsItWas) {
  std::string notes = AddFile("notes.txt", "keep me");
  ASSERT_EQ(::mkdir((notes + ".htm").c_str(), 0755), 0);
  std::string page = AddFile("page.htm", "second file");
  ASSERT_EQ(Lock(), RunOutcome::kCompleted);
  EXPECT_EQ(ReadFile(notes), "keep me");
  struct stat st {};
  ASSERT_EQ(::stat((notes + ".htm").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(OpenLockedPage(ReadFile(page), "alice", "pw-a"), "second file");
  for (const auto& entry : platform::ListFolder(dir.path())) EXPECT_EQ(entry.name.find(".tmp"), std::string::npos);
}

TEST_F(LockRunTest, EmailAndNotesNeverReachThePage) {
  UseTemplate("%users|%res");
  project.files.clear();
  CProjectData second = project;
  second.users[0].email = "someone@example.org";
  second.users[0].notes = "notes";
  RecordingHost secondHost;
  std::string path = AddFile("page.htm", "x");
  second.files = project.files;
  ASSERT_EQ(Lock(), RunOutcome::kCompleted);
  std::string first = ReadFile(path);
  // The content key differs per run, so compare the account digests only.
  EXPECT_EQ(first.find("someone"), std::string::npos);
  WriteFile(path, "x");
  ASSERT_EQ(RunLock(second, secondHost, environment), RunOutcome::kCompleted);
  std::string page = ReadFile(path);
  EXPECT_EQ(page.find("someone"), std::string::npos);
  EXPECT_EQ(page.find("notes"), std::string::npos);
  EXPECT_EQ(page.size(), first.size());
}

}  // namespace
}  // namespace quorvel
