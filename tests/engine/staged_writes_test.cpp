#include "platform/staged_writes.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "tests/support/temp_dir.h"

namespace quorvel::platform {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::size_t EntryCount(const std::string& folder) { return ListFolder(folder).size(); }

TEST(StagedWrites, NothingChangesBeforeCommitAndEverythingAfter) {
  TempDir dir;
  WriteFile(dir.File("page"), "original");
  StagedWrites staged;
  ASSERT_TRUE(staged.StageReplace(dir.File("page"), "replacement"));
  ASSERT_TRUE(staged.StageCreateNew(dir.File("new"), "fresh", dir.File("page")));
  EXPECT_TRUE(staged.Targets(dir.File("page")));
  EXPECT_FALSE(staged.Targets(dir.File("other")));
  EXPECT_EQ(ReadFile(dir.File("page")), "original");
  EXPECT_FALSE(Exists(dir.File("new")));

  staged.Commit();
  EXPECT_EQ(ReadFile(dir.File("page")), "replacement");
  EXPECT_EQ(ReadFile(dir.File("new")), "fresh");
  EXPECT_EQ(EntryCount(dir.path()), 2u);
  EXPECT_EQ(staged.stagedCount(), 0u);
}

TEST(StagedWrites, UncommittedWritesLeaveNothingBehind) {
  TempDir dir;
  WriteFile(dir.File("page"), "original");
  {
    StagedWrites staged;
    ASSERT_TRUE(staged.StageReplace(dir.File("page"), "replacement"));
    ASSERT_TRUE(staged.StageCreateNew(dir.File("new"), "fresh", dir.File("page")));
    EXPECT_EQ(EntryCount(dir.path()), 3u);  // the original and two hidden temporary files
  }
  EXPECT_EQ(ReadFile(dir.File("page")), "original");
  EXPECT_EQ(EntryCount(dir.path()), 1u);
}

TEST(StagedWrites, NewFilesNeverOverwrite) {
  TempDir dir;
  WriteFile(dir.File("page"), "original");
  StagedWrites staged;
  EXPECT_FALSE(staged.StageCreateNew(dir.File("page"), "x", dir.File("page")));
  ASSERT_TRUE(staged.StageCreateNew(dir.File("bak"), "staged copy", dir.File("page")));
  staged.StageLinkNew(dir.File("page"), dir.File("bak2"));
  WriteFile(dir.File("bak"), "appeared meanwhile");
  WriteFile(dir.File("bak2"), "appeared too");
  staged.Commit();
  EXPECT_EQ(ReadFile(dir.File("bak")), "appeared meanwhile");
  EXPECT_EQ(ReadFile(dir.File("bak2")), "appeared too");
  EXPECT_EQ(EntryCount(dir.path()), 3u);
}

// The file lives on under the new name while the replacement takes over
// its old one.
TEST(StagedWrites, LinkedFileKeepsTheOldContentAfterItsNameIsReplaced) {
  TempDir dir;
  WriteFile(dir.File("page"), "original");
  StagedWrites staged;
  ASSERT_TRUE(staged.StageReplace(dir.File("page"), "replacement"));
  staged.StageLinkNew(dir.File("page"), dir.File("page.bak"));
  staged.Commit();
  EXPECT_EQ(ReadFile(dir.File("page")), "replacement");
  EXPECT_EQ(ReadFile(dir.File("page.bak")), "original");
  WriteFile(dir.File("page"), "edited later");
  EXPECT_EQ(ReadFile(dir.File("page.bak")), "original");
}

TEST(StagedWrites, ReplacementOfAFolderIsRefused) {
  TempDir dir;
  StagedWrites staged;
  EXPECT_FALSE(staged.StageReplace(dir.path(), "x"));
  EXPECT_FALSE(staged.StageReplace(dir.File("missing/page"), "x"));
  EXPECT_EQ(staged.stagedCount(), 0u);
}

}  // namespace
}  // namespace quorvel::platform
