#include "persist/file_lookup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/persist/test_files.h"

namespace quorvel {
namespace {

bool SameAnswer(const std::optional<platform::FileInfo>& a, const std::optional<platform::FileInfo>& b) {
  if (!a || !b) return !a && !b;
  return a->name == b->name && a->size == b->size && a->isDirectory == b->isDirectory;
}

TEST(FileLookupTest, AnswersAsFindFileDoesAcrossFolders) {
  testing::TempDir dir;
  std::filesystem::create_directory(dir.File("sub"));
  testing::WriteTo(dir, "a.htm", "12345");
  testing::WriteTo(dir, "sub/b.htm", std::string(3000, 'b'));
  std::filesystem::create_symlink(dir.File("sub/b.htm"), dir.File("link.htm"));
  std::filesystem::create_symlink(dir.File("nowhere.htm"), dir.File("dangling.htm"));

  // In an order that leaves and re-enters folders.
  const std::string paths[] = {
      dir.File("a.htm"),       dir.File("sub/b.htm"),   dir.File("a.htm"),      dir.File("missing.htm"),
      dir.File("sub"),         dir.File("link.htm"),    dir.File("dangling.htm"), dir.File("sub/"),
      dir.File("gone/x.htm"),  dir.File("sub/../a.htm"), "",                      "relative-missing.htm",
      dir.File("a.htm/x"),
  };
  FileLookup lookup;
  for (const std::string& path : paths) {
    EXPECT_TRUE(SameAnswer(lookup.Find(path), platform::FindFile(path))) << path;
  }
  ASSERT_TRUE(lookup.Find(dir.File("sub/b.htm")));
  EXPECT_EQ(lookup.Find(dir.File("sub/b.htm"))->size, 3000u);
}

}  // namespace
}  // namespace quorvel
