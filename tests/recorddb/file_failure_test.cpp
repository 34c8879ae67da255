// Failures of the file layer reach the caller as platform::FileError, and
// the table is left closed and reusable afterwards.
#include <gtest/gtest.h>

#include "platform/table_file.h"
#include "recorddb/record_table.h"
#include "tests/recorddb/memory_file.h"
#include "tests/support/temp_dir.h"

namespace quorvel::recorddb {
namespace {

void Declare(CRecordTable& table) {
  ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
  ASSERT_TRUE(table.AddField("text", ftText, 100));
}

TEST(FileFailureTest, WriteFailureWhileCreatingIsThrown) {
  testing::MemoryFileOpener files;
  files["t"]->failWrites = true;
  CRecordTable table(files);
  Declare(table);
  EXPECT_THROW(table.Create("t"), platform::FileError);
}

TEST(FileFailureTest, DiskFullDuringAppendsReachesTheCallerAndResetsTheTable) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  Declare(table);
  ASSERT_TRUE(table.Create("t"));
  files["t"]->writeBudget = 20000;  // room for a few pages more
  bool thrown = false;
  try {
    for (int i = 0; i < 5000; ++i) {
      ASSERT_TRUE(table.SetFieldText(1, std::string(90, 'x')));
      ASSERT_TRUE(table.Append());
    }
    table.Close();
  } catch (const platform::FileError& error) {
    thrown = true;
    EXPECT_NE(std::string(error.what()).find("disk full"), std::string::npos);
  }
  EXPECT_TRUE(thrown);
  // Close after a failure still returns the table to its empty state.
  try {
    table.Close();
  } catch (const platform::FileError&) {
  }
  EXPECT_FALSE(table.IsOpen());
  EXPECT_EQ(table.Header().fieldCount, 0);
}

TEST(FileFailureTest, HeaderWriteFailureAtCloseIsThrownAndStateIsReset) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  Declare(table);
  ASSERT_TRUE(table.Create("t"));
  ASSERT_TRUE(table.Append());
  files["t"]->failWrites = true;
  EXPECT_THROW(table.Close(), platform::FileError);
  EXPECT_FALSE(table.IsOpen());
  files["t"]->failWrites = false;
  // The object is usable again.
  Declare(table);
  EXPECT_TRUE(table.Create("u"));
}

TEST(FileFailureTest, ReadFailureDuringAWalkIsThrown) {
  testing::MemoryFileOpener files;
  {
    CRecordTable table(files);
    Declare(table);
    ASSERT_TRUE(table.Create("t"));
    for (int i = 0; i < 3000; ++i) {  // far more than the pages read at Open
      ASSERT_TRUE(table.SetFieldText(1, std::string(100, 'r')));
      ASSERT_TRUE(table.Append());
    }
    ASSERT_TRUE(table.Close());
  }
  CRecordTable table(files);
  ASSERT_TRUE(table.Open("t"));
  files["t"]->failReads = true;
  EXPECT_THROW(
      {
        for (bool ok = table.First(0); ok; ok = table.Next(0)) {
        }
      },
      platform::FileError);
}

TEST(FileFailureTest, FailedCloseOfTheFileIsThrown) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  Declare(table);
  ASSERT_TRUE(table.Create("t"));
  files["t"]->failClose = true;
  EXPECT_THROW(table.Close(), platform::FileError);
  EXPECT_FALSE(table.IsOpen());
}

TEST(FileFailureTest, DestructorSwallowsTheErrorOfItsClose) {
  testing::MemoryFileOpener files;
  EXPECT_NO_THROW({
    CRecordTable table(files);
    Declare(table);
    ASSERT_TRUE(table.Create("t"));
    ASSERT_TRUE(table.Append());
    files["t"]->failWrites = true;
  });
  EXPECT_EQ(files["t"]->bytes.size(), 15472u);  // only the header reached the file
}

TEST(FileFailureTest, CreateOfALockedFileFails) {
  // Create shares nothing: a second table cannot create the same file.
  testing::TempDir dir;
  const std::string path = dir.File("locked.tbl");
  CRecordTable first;
  Declare(first);
  ASSERT_TRUE(first.Create(path));
  ASSERT_TRUE(first.Append());
  CRecordTable second;
  Declare(second);
  EXPECT_FALSE(second.Create(path));
  EXPECT_EQ(second.GetErrorText(), "can't create file ");
  ASSERT_TRUE(first.Close());
  CRecordTable reader;
  ASSERT_TRUE(reader.Open(path, AccessMode::kReadOnly));
  EXPECT_TRUE(reader.First(0));  // the first table's record survived
}

}  // namespace
}  // namespace quorvel::recorddb
