// Setting, appending and reading records: numbering, text conversions in
// both directions, what Append leaves behind, and the walk's edges.
#include <gtest/gtest.h>

#include <cstring>

#include "recorddb/record_table.h"
#include "tests/recorddb/layout_bytes.h"
#include "tests/recorddb/memory_file.h"
#include "tests/support/temp_dir.h"

namespace quorvel::recorddb {
namespace {

TEST(RecordsTest, AutoIncNumbersRecordsOneTwoThreeAndWalksThemInOrder) {
  testing::TempDir dir;
  const std::string path = dir.File("numbers.tbl");
  {
    CRecordTable table;
    ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
    ASSERT_TRUE(table.AddField("name", ftText, 16));
    ASSERT_TRUE(table.Create(path));
    EXPECT_FALSE(table.First(0));  // no records yet
    EXPECT_EQ(table.GetFieldText(1), "");
    for (const char* name : {"one", "two", "three"}) {
      ASSERT_TRUE(table.SetFieldText(1, name));
      ASSERT_TRUE(table.Append());
    }
    ASSERT_TRUE(table.Close());
  }
  CRecordTable table;
  ASSERT_TRUE(table.Open(path));
  EXPECT_FALSE(table.Next(0));  // no walk started
  EXPECT_EQ(table.Header().recordCount, 3);
  std::vector<std::string> seen;
  for (bool ok = table.First(0); ok; ok = table.Next(0)) {
    const std::string id = table.GetFieldText(0);
    seen.push_back(id + ":" + table.GetFieldTextByName("NAME"));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"1:one", "2:two", "3:three"}));
  // After the end the last record stays current.
  EXPECT_FALSE(table.Next(0));
  EXPECT_EQ(table.GetFieldText(0), "3");
  ASSERT_TRUE(table.Last(0));
  EXPECT_EQ(table.GetFieldText(1), "three");
  EXPECT_EQ(table.GetErrorText(), "");
}

TEST(RecordsTest, NumberingContinuesAfterReopen) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
  ASSERT_TRUE(table.Create("t"));
  ASSERT_TRUE(table.Append());
  ASSERT_TRUE(table.Append());
  ASSERT_TRUE(table.Close());
  ASSERT_TRUE(table.Open("t"));
  ASSERT_TRUE(table.Append());
  ASSERT_TRUE(table.Last(0));
  EXPECT_EQ(table.GetFieldText(0), "3");
}

struct ConversionCase {
  int type;
  int width;
  std::string text;
  std::string readBack;
};

class TextConversionTest : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(TextConversionTest, TextIsConvertedToTheFieldTypeAndBack) {
  const ConversionCase& c = GetParam();
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
  ASSERT_TRUE(table.AddField("v", c.type, c.width));
  ASSERT_TRUE(table.Create("t"));
  ASSERT_TRUE(table.SetFieldText(1, c.text));
  ASSERT_TRUE(table.Append());
  ASSERT_TRUE(table.First(0));
  EXPECT_EQ(table.GetFieldText(1), c.readBack);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, TextConversionTest,
    ::testing::Values(ConversionCase{ftByte, 0, "2", "1"}, ConversionCase{ftByte, 0, "abc", "0"},
                      ConversionCase{ftByte, 0, "0", "0"}, ConversionCase{ftShort, 0, "70000", "4464"},
                      ConversionCase{ftShort, 0, "-5", "-5"}, ConversionCase{ftShort, 0, "32768", "-32768"},
                      ConversionCase{ftLong, 0, "  +42abc", "42"}, ConversionCase{ftLong, 0, "-2147483648", "-2147483648"},
                      ConversionCase{ftLong, 0, "4294967297", "1"}, ConversionCase{ftLong, 0, "x1", "0"},
                      ConversionCase{ftFloat, 0, "1.5", "1.500000"}, ConversionCase{ftFloat, 0, " -0.1", "-0.100000"},
                      ConversionCase{ftDouble, 0, "1.5", "1.50000000000000"},
                      ConversionCase{ftDouble, 0, "2.5e2xyz", "250.00000000000000"},
                      ConversionCase{ftDouble, 0, "abc", "0.00000000000000"},
                      ConversionCase{ftText, 512, std::string(600, 'q'), std::string(512, 'q')},
                      ConversionCase{ftText, 10, "short", "short"}));

TEST(RecordsTest, RawValuesMoveInTheHostRepresentation) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
  ASSERT_TRUE(table.AddField("s", ftShort, 0));
  ASSERT_TRUE(table.AddField("d", ftDouble, 0));
  ASSERT_TRUE(table.AddField("t", ftText, 4));
  ASSERT_TRUE(table.Create("t"));
  const std::int16_t s = -300;
  const double d = 2.25;
  ASSERT_TRUE(table.SetField(1, &s, sizeof s));
  ASSERT_TRUE(table.SetField(2, &d, sizeof d));
  ASSERT_TRUE(table.SetField(3, "abcdef", 6));
  EXPECT_FALSE(table.SetField(2, &s, sizeof s));  // too small for a double
  ASSERT_TRUE(table.Append());
  ASSERT_TRUE(table.First(0));
  std::int16_t s2 = 0;
  double d2 = 0;
  char t[4];
  std::int32_t id = 0;
  ASSERT_TRUE(table.GetField(0, &id, sizeof id));
  ASSERT_TRUE(table.GetField(1, &s2, sizeof s2));
  ASSERT_TRUE(table.GetField(2, &d2, sizeof d2));
  ASSERT_TRUE(table.GetField(3, t, sizeof t));
  EXPECT_FALSE(table.GetField(3, t, 3));  // the destination must hold the width
  EXPECT_EQ(id, 1);
  EXPECT_EQ(s2, -300);
  EXPECT_EQ(d2, 2.25);
  EXPECT_EQ(std::string(t, 4), "abcd");
}

TEST(RecordsTest, AppendEmptiesTheEditRecord) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
  ASSERT_TRUE(table.AddField("n", ftLong, 0));
  ASSERT_TRUE(table.AddField("t", ftText, 8));
  ASSERT_TRUE(table.Create("t"));
  ASSERT_TRUE(table.SetFieldText(1, "7"));
  ASSERT_TRUE(table.SetFieldText(2, "seven"));
  ASSERT_TRUE(table.Append());
  ASSERT_TRUE(table.Append());  // nothing set in between
  ASSERT_TRUE(table.Last(0));
  EXPECT_EQ(table.GetFieldText(0), "2");
  EXPECT_EQ(table.GetFieldText(1), "0");
  EXPECT_EQ(table.GetFieldText(2), "");
}

TEST(RecordsTest, ReadingARecordMakesItTheEditRecord) {
  // An Append right after a walk stores the same values again.
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
  ASSERT_TRUE(table.AddField("t", ftText, 8));
  ASSERT_TRUE(table.Create("t"));
  ASSERT_TRUE(table.SetFieldText(1, "copy me"));
  ASSERT_TRUE(table.Append());
  ASSERT_TRUE(table.First(0));
  ASSERT_TRUE(table.Append());
  ASSERT_TRUE(table.Last(0));
  EXPECT_EQ(table.GetFieldText(0), "2");
  EXPECT_EQ(table.GetFieldText(1), "copy me");
}

TEST(RecordsTest, RefusedDuplicateWritesNothing) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("name", ftText, 8));
  ASSERT_TRUE(table.CreateKey("name", kkUnique, 0, cmNoCase, 0, 8));
  ASSERT_TRUE(table.Create("t"));
  ASSERT_TRUE(table.SetFieldText(0, "alice"));
  ASSERT_TRUE(table.Append());
  ASSERT_TRUE(table.Close());
  const std::string before = files["t"]->bytes;

  ASSERT_TRUE(table.Open("t"));
  ASSERT_TRUE(table.SetFieldText(0, "ALICE"));  // equal ignoring case
  EXPECT_FALSE(table.Append());
  EXPECT_EQ(table.GetErrorText(), "the key is unduplicated");
  EXPECT_EQ(table.Header().recordCount, 1);
  ASSERT_TRUE(table.Close());
  EXPECT_EQ(files["t"]->bytes, before);  // not even the header is rewritten
}

TEST(RecordsTest, EditRecordSurvivesARefusal) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("name", ftText, 8));
  ASSERT_TRUE(table.AddField("note", ftText, 8));
  ASSERT_TRUE(table.CreateKey("name", kkUnique, 0, cmExact, 0, 8));
  ASSERT_TRUE(table.Create("t"));
  ASSERT_TRUE(table.SetFieldText(0, "a"));
  ASSERT_TRUE(table.Append());
  ASSERT_TRUE(table.SetFieldText(0, "a"));
  ASSERT_TRUE(table.SetFieldText(1, "kept"));
  ASSERT_FALSE(table.Append());
  ASSERT_TRUE(table.SetFieldText(0, "b"));  // only the key changes
  ASSERT_TRUE(table.Append());
  ASSERT_TRUE(table.Last(0));
  EXPECT_EQ(table.GetFieldText(0), "b");
  EXPECT_EQ(table.GetFieldText(1), "kept");
}

TEST(RecordsTest, AppendOfAnImageNumbersItAndCopiesOut) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
  ASSERT_TRUE(table.AddField("t", ftText, 4));
  ASSERT_TRUE(table.Create("t"));
  std::uint8_t image[8] = {0, 0, 0, 0, 'w', 'x', 'y', 'z'};
  ASSERT_TRUE(table.Append(image, 0));
  EXPECT_EQ(image[0], 1);  // the number goes into the image too
  std::uint8_t out[8] = {};
  ASSERT_TRUE(table.First(0, out, 0));
  EXPECT_EQ(std::memcmp(out, image, 8), 0);
  std::uint8_t part[2] = {};
  ASSERT_TRUE(table.First(0, part, 2));
  EXPECT_EQ(part[0], 1);
}

TEST(RecordsTest, ReadOnlyTableWalksButRefusesAppend) {
  testing::TempDir dir;
  const std::string path = dir.File("ro.tbl");
  {
    CRecordTable table;
    ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
    ASSERT_TRUE(table.Create(path));
    ASSERT_TRUE(table.Append());
    ASSERT_TRUE(table.Close());
  }
  const std::string before = testing::ReadFile(path);
  CRecordTable table;
  ASSERT_TRUE(table.Open(path, AccessMode::kReadOnly));
  EXPECT_TRUE(table.First(0));
  EXPECT_FALSE(table.Append());
  EXPECT_EQ(table.GetErrorText(), "the table is open read-only");
  ASSERT_TRUE(table.Close());
  EXPECT_EQ(testing::ReadFile(path), before);
}

TEST(RecordsTest, FullImageRecordsAreReadAndWritten) {
  // Tables whose header says records are stored as whole images.
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
  ASSERT_TRUE(table.AddField("t", ftText, 6));
  ASSERT_TRUE(table.Create("t"));
  ASSERT_TRUE(table.Close());
  testing::PatchI16(files["t"]->bytes, 15380, -1);
  ASSERT_TRUE(table.Open("t"));
  for (const char* text : {"ab", "cdefgh"}) {
    ASSERT_TRUE(table.SetFieldText(1, text));
    ASSERT_TRUE(table.Append());
  }
  ASSERT_TRUE(table.Close());
  const std::string& bytes = files["t"]->bytes;
  EXPECT_EQ(bytes.substr(15472, 10), testing::Bytes().I32(0, 1).Text(4, "ab").I16(8, 0).str());
  ASSERT_TRUE(table.Open("t"));
  ASSERT_TRUE(table.Last(0));
  EXPECT_EQ(table.GetFieldText(1), "cdefgh");
}

TEST(RecordsTest, UnknownFieldNamesAreQuietlyRefused) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
  ASSERT_TRUE(table.Create("t"));
  ASSERT_TRUE(table.Append());
  ASSERT_TRUE(table.First(0));
  EXPECT_FALSE(table.SetFieldTextByName("1", "nope"));
  EXPECT_EQ(table.GetFieldTextByName("nope"), "");
  EXPECT_EQ(table.GetFieldText(5), "");
  EXPECT_EQ(table.GetErrorText(), "");
}

}  // namespace
}  // namespace quorvel::recorddb
