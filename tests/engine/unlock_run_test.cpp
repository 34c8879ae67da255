#include "engine/unlock_run.h"

#include <gtest/gtest.h>

#include "tests/support/page_reader.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::RecordingHost;
using testing::TempDir;
using testing::WriteFile;

class UnlockRunTest : public ::testing::Test {
 protected:
  UnlockRunTest() {
    project.users = {{"alice", "pw", "", ""}};
    project.options.templateName = "default.htm";
    environment.templatesFolder = testing::TestTemplatesFolder();
  }

  std::string AddFile(const std::string& name, const std::string& content) {
    return testing::AddProjectFile(project, dir, name, content);
  }

  void Lock() {
    RecordingHost lockHost;
    ASSERT_EQ(RunLock(project, lockHost, environment), RunOutcome::kCompleted);
  }

  TempDir dir;
  CProjectData project;
  LockEnvironment environment;
  RecordingHost host;
};

TEST_F(UnlockRunTest, RestoresAndConsumesTheBackups) {
  std::string a = AddFile("a.htm", "page a");
  std::string notes = AddFile("notes.txt", "text");
  Lock();
  project.lockedFiles = {{"a.htm", "1 KB", a}};

  EXPECT_EQ(RunUnlock(project, host), RunOutcome::kCompleted);
  EXPECT_EQ(host.messages, std::vector<std::string>{"Unlock File(s) OK!"});
  EXPECT_EQ(ReadFile(a), "page a");
  EXPECT_EQ(ReadFile(notes), "text");
  EXPECT_FALSE(Exists(a + ".bak"));
  EXPECT_FALSE(Exists(notes + ".bak"));
  EXPECT_TRUE(Exists(notes + ".htm"));  // the page of a text file stays
  EXPECT_EQ(project.lockedFiles.size(), 1u);

  RecordingHost second;
  EXPECT_EQ(RunUnlock(project, second), RunOutcome::kIncomplete);
  EXPECT_EQ(second.messages, std::vector<std::string>{"The backup file(s) cannot be found!"});
}

TEST_F(UnlockRunTest, MissingBackupIsReportedOnceAndOthersAreStillRestored) {
  project.options.backupFiles = false;
  std::string a = AddFile("a.htm", "page a");
  Lock();
  std::string lockedA = ReadFile(a);
  project.options.backupFiles = true;
  std::string b = AddFile("b.htm", "page b");
  std::string c = AddFile("c.htm", "page c");
  CProjectData justBAndC = project;
  justBAndC.files.erase(justBAndC.files.begin());
  RecordingHost lockHost;
  ASSERT_EQ(RunLock(justBAndC, lockHost, environment), RunOutcome::kCompleted);
  project.files.push_back(MakeFileItem(dir.File("never.htm")));

  EXPECT_EQ(RunUnlock(project, host), RunOutcome::kIncomplete);
  EXPECT_EQ(host.messages, std::vector<std::string>{"The backup file(s) cannot be found!"});
  EXPECT_EQ(ReadFile(a), lockedA);
  EXPECT_EQ(ReadFile(b), "page b");
  EXPECT_EQ(ReadFile(c), "page c");
}

TEST_F(UnlockRunTest, FileDeletedByHandIsNotRestored) {
  std::string a = AddFile("a.htm", "page a");
  Lock();
  ASSERT_EQ(std::remove(a.c_str()), 0);
  EXPECT_EQ(RunUnlock(project, host), RunOutcome::kCompleted);
  EXPECT_EQ(host.messages, std::vector<std::string>{"Unlock File(s) OK!"});
  EXPECT_FALSE(Exists(a));
  EXPECT_EQ(ReadFile(a + ".bak"), "page a");
}

TEST_F(UnlockRunTest, NoFilesEndsSilently) {
  EXPECT_EQ(RunUnlock(project, host), RunOutcome::kNoFiles);
  EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace quorvel
