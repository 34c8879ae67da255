// Declaring fields and keys, creating and opening tables: limits, the key
// parts that declarations produce, and every error text with its cause.
#include <gtest/gtest.h>

#include <functional>

#include "recorddb/record_table.h"
#include "tests/recorddb/layout_bytes.h"
#include "tests/recorddb/memory_file.h"
#include "tests/support/temp_dir.h"

namespace quorvel::recorddb {
namespace {

struct ErrorCase {
  const char* name;
  std::function<bool(CRecordTable&, testing::MemoryFileOpener&)> failingCall;
  std::string text;
};

void DeclareIdAndText(CRecordTable& t) {
  ASSERT_TRUE(t.AddField("id", ftAutoInc, -1));
  ASSERT_TRUE(t.AddField("text", ftText, 16));
}

bool CreateOpen(CRecordTable& t) {
  DeclareIdAndText(t);
  return t.Create("t");
}

class ErrorTextTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ErrorTextTest, FailureLeavesItsText) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  EXPECT_FALSE(GetParam().failingCall(table, files));
  EXPECT_EQ(table.GetErrorText(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, ErrorTextTest,
    ::testing::Values(
        ErrorCase{"AddFieldWhileOpen", [](CRecordTable& t, auto&) { return CreateOpen(t) && t.AddField("x", ftLong, 0); },
                  "must do before create db"},
        ErrorCase{"CreateKeyWhileOpen",
                  [](CRecordTable& t, auto&) { return CreateOpen(t) && t.CreateKey("k", kkUnique, 1, 1, 0, 4); },
                  "must do before create db"},
        ErrorCase{"FieldName",
                  [](CRecordTable& t, auto&) { return t.AddField(" Name ", ftLong, 0) && t.AddField("NAME", ftShort, 0); },
                  "The FieldName exist already!"},
        ErrorCase{"SecondAutoInc",
                  [](CRecordTable& t, auto&) { return t.AddField("a", ftAutoInc, 0) && t.AddField("b", ftAutoInc, 0); },
                  "Too many AutoInc fields"},
        ErrorCase{"TextWidth0", [](CRecordTable& t, auto&) { return t.AddField("a", ftText, 0); },
                  "field length must between 1 and 1024"},
        ErrorCase{"TextWidth1025", [](CRecordTable& t, auto&) { return t.AddField("a", ftText, 1025); },
                  "field length must between 1 and 1024"},
        ErrorCase{"KeyWithoutFields", [](CRecordTable& t, auto&) { return t.CreateKey("k", kkUnique, 0, 1, 0, 4); },
                  "must create field first"},
        ErrorCase{"KeyFieldNumber",
                  [](CRecordTable& t, auto&) {
                    DeclareIdAndText(t);
                    return t.CreateKey("k", kkUnique, 2, 1, 0, 4);
                  },
                  "FieldNo must less than 2"},
        ErrorCase{"EleventhKey",
                  [](CRecordTable& t, auto&) {
                    DeclareIdAndText(t);  // "id" brings key 1
                    for (int k = 2; k <= 10; ++k) {
                      if (!t.CreateKey("k" + std::to_string(k), kkDuplicates, 1, 1, 0, 4)) return true;
                    }
                    return t.CreateKey("k11", kkDuplicates, 1, 1, 0, 4);
                  },
                  "key count must less than 10  "},
        ErrorCase{"KeyName",
                  [](CRecordTable& t, auto&) {
                    DeclareIdAndText(t);
                    return t.CreateKey(" ID", kkDuplicates, 1, 1, 0, 4);
                  },
                  "The KeyName exist already!"},
        ErrorCase{"Blank8Key",
                  [](CRecordTable& t, auto&) { return t.AddField("b", ftBlank8, 0) && t.CreateKey("k", kkUnique, 0, 0, 0, 0); },
                  "This field can't be key!"},
        ErrorCase{"CreateWithoutKey",
                  [](CRecordTable& t, auto&) { return t.AddField("a", ftLong, 0) && t.Create("t"); },
                  "Create Index error,please CreateKey first!"},
        ErrorCase{"OpenMissing", [](CRecordTable& t, auto&) { return t.Open("missing"); }, "file can't be  opened!"},
        ErrorCase{"OpenWithoutKey",
                  [](CRecordTable& t, testing::MemoryFileOpener& files) {
                    if (!CreateOpen(t) || !t.Close()) return true;
                    testing::PatchI16(files["t"]->bytes, 15250, 0);  // key count 0
                    return t.Open("t");
                  },
                  "key not found"},
        ErrorCase{"SetBlank8",
                  [](CRecordTable& t, auto&) {
                    std::uint8_t zero[8] = {};
                    return t.AddField("id", ftAutoInc, 0) && t.AddField("b", ftBlank8, 0) && t.Create("t") &&
                           t.SetField(1, zero, sizeof zero);
                  },
                  "field invalidation"},
        ErrorCase{"SetAutoInc",
                  [](CRecordTable& t, auto&) {
                    std::int32_t five = 5;
                    return CreateOpen(t) && t.SetField(0, &five, sizeof five);
                  },
                  "field invalidation"},
        ErrorCase{"GetBlank8",
                  [](CRecordTable& t, auto&) {
                    std::uint8_t out[8];
                    return t.AddField("id", ftAutoInc, 0) && t.AddField("b", ftBlank8, 0) && t.Create("t") &&
                           t.Append() && t.First(0) && t.GetField(1, out, sizeof out);
                  },
                  "field invalidation"},
        ErrorCase{"UniqueKeyValue",
                  [](CRecordTable& t, auto&) {
                    return t.AddField("name", ftText, 8) && t.CreateKey("name", kkUnique, 0, 1, 0, 8) && t.Create("t") &&
                           t.SetFieldText(0, "a") && t.Append() && t.SetFieldText(0, "a") && t.Append();
                  },
                  "the key is unduplicated"},
        ErrorCase{"TooLongName", [](CRecordTable& t, auto&) { return t.AddField(std::string(32, 'n'), ftLong, 0); },
                  "name length must less than 32"}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

TEST(SchemaTest, The129thFieldEmptiesTheFieldList) {
  CRecordTable table;
  for (int i = 0; i < 128; ++i) ASSERT_TRUE(table.AddField("f" + std::to_string(i), ftLong, 0));
  EXPECT_FALSE(table.AddField("f128", ftLong, 0));
  EXPECT_EQ(table.GetErrorText(), "Field count must less than 128  ");
  EXPECT_EQ(table.Header().fieldCount, 0);
  EXPECT_EQ(table.FieldName(0), "");
  EXPECT_EQ(table.GetFieldType(0), -1);
}

TEST(SchemaTest, DroppedFieldListTakesItsKeysAlong) {
  // Otherwise a key would name a field that no longer exists.
  CRecordTable table;
  ASSERT_TRUE(table.AddField("id", ftAutoInc, 0));
  for (int i = 1; i < 128; ++i) ASSERT_TRUE(table.AddField("f" + std::to_string(i), ftLong, 0));
  EXPECT_FALSE(table.AddField("f128", ftLong, 0));
  EXPECT_EQ(table.Header().keyCount, 0);
}

TEST(SchemaTest, FailedDeclarationsKeepWhatWasDeclared) {
  CRecordTable table;
  ASSERT_TRUE(table.AddField(" name ", ftText, 10));
  EXPECT_FALSE(table.AddField("NAME", ftText, 10));
  ASSERT_TRUE(table.AddField("a", ftAutoInc, 0));
  EXPECT_FALSE(table.AddField("b", ftAutoInc, 0));
  EXPECT_FALSE(table.AddField("c", ftText, 1025));
  EXPECT_EQ(table.Header().fieldCount, 2);
  EXPECT_EQ(table.FieldName(0), "name");
  EXPECT_TRUE(table.AddField("w1", ftText, 1));
  EXPECT_TRUE(table.AddField("w1024", ftText, 1024));
}

TEST(SchemaTest, AutoIncFieldBringsItsUniqueKey) {
  CRecordTable table;
  ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
  const TableHeader& h = table.Header();
  ASSERT_EQ(h.fieldCount, 1);
  ASSERT_EQ(h.keyCount, 1);
  EXPECT_EQ(h.keyNames[0], "id");
  EXPECT_EQ(h.keyKinds[0], kkUnique);
  EXPECT_EQ(h.partCounts[0], -1);
  EXPECT_EQ(h.keyParts[0][0].field, 0);
  EXPECT_EQ(h.keyParts[0][0].start, 0);
  EXPECT_EQ(h.keyParts[0][0].length, 4);
}

struct PartCase {
  int width, compare, start, length;
  int expectCompare, expectStart, expectLength;
};

class TextKeyPartTest : public ::testing::TestWithParam<PartCase> {};

TEST_P(TextKeyPartTest, PartIsCompletedFromTheField) {
  const PartCase& c = GetParam();
  CRecordTable table;
  ASSERT_TRUE(table.AddField("t", ftText, c.width));
  ASSERT_TRUE(table.CreateKey("k", kkDuplicates, 0, c.compare, c.start, c.length));
  const KeyPart& part = table.Header().keyParts[0][0];
  EXPECT_EQ(part.compare, c.expectCompare);
  EXPECT_EQ(part.start, c.expectStart);
  EXPECT_EQ(part.length, c.expectLength);
}

INSTANTIATE_TEST_SUITE_P(Parts, TextKeyPartTest,
                         ::testing::Values(PartCase{300, 1, 0, -1, 1, 0, 128},  // longest part 128
                                           PartCase{20, 2, 0, 0, 2, 0, 20},     // the width when shorter
                                           PartCase{20, 7, 0, 5, 1, 0, 5},      // unknown mode: exact
                                           PartCase{20, 1, 20, 5, 1, 0, 5},     // start outside: 0
                                           PartCase{20, 1, 19, 5, 1, 19, 5}));  // checked apart from length

TEST(SchemaTest, FieldIndexIgnoresLetterCaseButNotLeadingSpace) {
  CRecordTable table;
  ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
  ASSERT_TRUE(table.AddField("doublebyte", ftLong, -1));
  ASSERT_TRUE(table.AddField("Protectiontype", ftLong, -1));
  EXPECT_EQ(table.FieldIndex("Doublebyte"), 1);
  EXPECT_EQ(table.FieldIndex("DOUBLEBYTE"), 1);
  EXPECT_EQ(table.FieldIndex("protectiontype"), 2);
  EXPECT_EQ(table.FieldIndex(" doublebyte"), -1);
  EXPECT_EQ(table.FieldIndex("double"), -1);
}

TEST(SchemaTest, CreateWithoutKeyTouchesNoFile) {
  testing::TempDir dir;
  CRecordTable table;
  ASSERT_TRUE(table.AddField("a", ftLong, 0));
  EXPECT_FALSE(table.Create(dir.File("new.tbl")));
  EXPECT_FALSE(testing::Exists(dir.File("new.tbl")));
  testing::WriteFile(dir.File("old.tbl"), "keep me");
  EXPECT_FALSE(table.Create(dir.File("old.tbl")));
  EXPECT_EQ(testing::ReadFile(dir.File("old.tbl")), "keep me");
  // Still defining: a key makes the same call succeed.
  ASSERT_TRUE(table.CreateKey("a", kkUnique, 0, 0, 0, 0));
  EXPECT_TRUE(table.Create(dir.File("old.tbl")));
}

TEST(SchemaTest, CreateInMissingFolderFails) {
  testing::TempDir dir;
  CRecordTable table;
  DeclareIdAndText(table);
  EXPECT_FALSE(table.Create(dir.File("no/such/folder.tbl")));
  EXPECT_EQ(table.GetErrorText(), "can't create file ");
  EXPECT_FALSE(table.IsOpen());
}

TEST(SchemaTest, ErrorTextSurvivesSuccessUntilClose) {
  CRecordTable table;
  EXPECT_FALSE(table.AddField("a", ftText, 0));
  ASSERT_TRUE(table.AddField("a", ftText, 5));
  EXPECT_EQ(table.GetErrorText(), "field length must between 1 and 1024");
  table.Close();
  EXPECT_EQ(table.GetErrorText(), "");
  EXPECT_EQ(table.Header().fieldCount, 0);
}

TEST(SchemaTest, OpenBringsTheSchemaAndForeignSignatureIsAccepted) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
  ASSERT_TRUE(table.AddField("Name", ftText, 30));
  ASSERT_TRUE(table.Create("t"));
  ASSERT_TRUE(table.Close());
  files["t"]->bytes.replace(0, 5, "Other");
  ASSERT_TRUE(table.Open("t", AccessMode::kReadOnly));
  EXPECT_EQ(table.FieldName(1), "Name");
  EXPECT_EQ(table.GetFieldType(1), ftText);
  EXPECT_EQ(table.FieldIndex("name"), 1);
  EXPECT_EQ(table.Header().recordSize, 34);
}

TEST(SchemaTest, OpenWithoutKeyKeepsTheFileOpenButRefusesRecords) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(CreateOpen(table));
  ASSERT_TRUE(table.Close());
  testing::PatchI16(files["t"]->bytes, 15250, 0);
  EXPECT_FALSE(table.Open("t"));
  EXPECT_TRUE(table.IsOpen());
  EXPECT_FALSE(table.SetFieldText(1, "x"));
  EXPECT_FALSE(table.Append());
  EXPECT_FALSE(table.First(0));
  EXPECT_TRUE(table.Close());
  EXPECT_FALSE(table.IsOpen());
}

}  // namespace
}  // namespace quorvel::recorddb
