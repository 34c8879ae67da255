// Read-only files and file owners. Root may write to any file, which would
// hide what a read-only file does, so those runs happen in a child process
// that has given up root.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "engine/lock_run.h"
#include "engine/unlock_run.h"
#include "tests/support/page_reader.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

using testing::Exists;
using testing::OpenLockedPage;
using testing::ReadFile;
using testing::RecordingHost;
using testing::TempDir;
using testing::WriteFile;

constexpr uid_t kNobody = 65534;
constexpr int kCannotDropRoot = 77;

// Runs `body` in a child without root; its result is the child's exit code.
int RunUnprivileged(const std::function<int()>& body) {
  pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(kCannotDropRoot);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class FileOwnershipTest : public ::testing::Test {
 protected:
  FileOwnershipTest() {
    ::chmod(dir.path().c_str(), 0777);
    ::mkdir(dir.File("templates").c_str(), 0755);
    WriteFile(dir.File("templates/default.htm"), ReadFile(testing::TestTemplatesFolder() + "default.htm"));
    project.users = {{"alice", "pw", "", ""}};
    project.options.templateName = "default.htm";
    environment.templatesFolder = dir.File("templates/");
  }

  std::string AddFile(const std::string& name, const std::string& content, mode_t mode) {
    std::string path = testing::AddProjectFile(project, dir, name, content);
    ::chmod(path.c_str(), mode);
    return path;
  }

  TempDir dir;
  CProjectData project;
  LockEnvironment environment;
};

TEST_F(FileOwnershipTest, ReadOnlyFilesAreNeitherLockedNorRestored) {
  std::string writable = AddFile("writable.htm", "open to all", 0666);
  std::string readOnly = AddFile("readonly.htm", "hands off", 0444);

  int lockResult = RunUnprivileged([&] {
    RecordingHost host;
    return RunLock(project, host, environment) == RunOutcome::kCompleted && host.rows.size() == 2 ? 0 : 1;
  });
  if (lockResult == kCannotDropRoot) GTEST_SKIP() << "cannot give up root here";
  ASSERT_EQ(lockResult, 0);
  EXPECT_EQ(OpenLockedPage(ReadFile(writable), "alice", "pw"), "open to all");
  EXPECT_EQ(ReadFile(writable + ".bak"), "open to all");
  EXPECT_EQ(ReadFile(readOnly), "hands off");
  EXPECT_EQ(ReadFile(readOnly + ".bak"), "hands off");  // the backup is made all the same

  // A page made read-only after locking stays locked on unlock.
  ASSERT_EQ(::chmod(writable.c_str(), 0444), 0);
  const std::string lockedPage = ReadFile(writable);
  int unlockResult = RunUnprivileged([&] {
    RecordingHost host;
    return RunUnlock(project, host) == RunOutcome::kCompleted ? 0 : 1;
  });
  ASSERT_EQ(unlockResult, 0);
  EXPECT_EQ(ReadFile(writable), lockedPage);
  EXPECT_TRUE(Exists(writable + ".bak"));
  EXPECT_EQ(ReadFile(readOnly), "hands off");
  EXPECT_TRUE(Exists(readOnly + ".bak"));
}

TEST_F(FileOwnershipTest, PageKeepsTheOwnerOfTheFileItReplaces) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give files to another owner";
  std::string path = AddFile("page.htm", "someone else's page", 0644);
  ASSERT_EQ(::chown(path.c_str(), 1234, 5678), 0);
  RecordingHost host;
  ASSERT_EQ(RunLock(project, host, environment), RunOutcome::kCompleted);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 1234u);
  EXPECT_EQ(st.st_gid, 5678u);
  EXPECT_EQ(OpenLockedPage(ReadFile(path), "alice", "pw"), "someone else's page");
}

}  // namespace
}  // namespace quorvel
