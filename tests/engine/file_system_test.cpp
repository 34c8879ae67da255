#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine/project_data.h"
#include "tests/support/temp_dir.h"

namespace quorvel::platform {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::size_t EntryCount(const std::string& folder) { return ListFolder(folder).size(); }

TEST(WriteFileAtomically, ReplacesWholeFileAndKeepsMode) {
  TempDir dir;
  std::string path = dir.File("f");
  WriteFile(path, "old content that is longer");
  ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
  ASSERT_TRUE(WriteFileAtomically(path, "new"));
  EXPECT_EQ(ReadFile(path), "new");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0604u);
  EXPECT_EQ(EntryCount(dir.path()), 1u);
}

TEST(WriteFileAtomically, FailureChangesNothingAndLeavesNoTemporaryFile) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("folder").c_str(), 0755), 0);
  EXPECT_FALSE(WriteFileAtomically(dir.File("folder"), "x"));
  EXPECT_FALSE(WriteFileAtomically(dir.File("missing/f"), "x"));
  EXPECT_EQ(EntryCount(dir.path()), 1u);
}

TEST(CopyFileNoOverwrite, CopiesOnceAndNeverReplaces) {
  TempDir dir;
  WriteFile(dir.File("a"), "first");
  ASSERT_TRUE(CopyFileNoOverwrite(dir.File("a"), dir.File("a.bak")));
  WriteFile(dir.File("a"), "second");
  EXPECT_FALSE(CopyFileNoOverwrite(dir.File("a"), dir.File("a.bak")));
  EXPECT_EQ(ReadFile(dir.File("a.bak")), "first");
  EXPECT_FALSE(CopyFileNoOverwrite(dir.File("missing"), dir.File("m.bak")));
  EXPECT_EQ(EntryCount(dir.path()), 2u);
}

TEST(FindFile, ReportsNameSizeAndFolders) {
  TempDir dir;
  WriteFile(dir.File("Page.HTM"), std::string(1500, 'x'));
  auto info = FindFile(dir.File("Page.HTM"));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->name, "Page.HTM");
  EXPECT_EQ(info->size, 1500u);
  EXPECT_FALSE(info->isDirectory);
  EXPECT_FALSE(FindFile(dir.File("nothing")));
  EXPECT_TRUE(FindFile(dir.path())->isDirectory);
}

TEST(SizeText, CountsStartedKilobytes) {
  using quorvel::SizeText;
  EXPECT_EQ(SizeText(0), "1 KB");
  EXPECT_EQ(SizeText(1023), "1 KB");
  EXPECT_EQ(SizeText(1024), "2 KB");
  EXPECT_EQ(SizeText(10 * 1024 * 1024), "10241 KB");
}

}  // namespace
}  // namespace quorvel::platform
