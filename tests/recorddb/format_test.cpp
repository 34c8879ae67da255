// Whole table files written by the engine, compared byte for byte against
// files built independently from the layout (layout_bytes.h).
#include <gtest/gtest.h>

#include "recorddb/record_table.h"
#include "tests/recorddb/layout_bytes.h"
#include "tests/recorddb/memory_file.h"
#include "tests/support/temp_dir.h"

namespace quorvel::recorddb {
namespace {

using testing::Bytes;
using testing::FieldDecl;
using testing::HeaderBytes;
using testing::Int32Key;
using testing::KeyDecl;
using testing::NodeBytes;
using testing::NodeEntry;

// Where the two byte strings first differ, for a readable failure.
std::string FirstDifference(const std::string& actual, const std::string& expected) {
  std::size_t n = std::min(actual.size(), expected.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (actual[i] != expected[i]) return "first difference at offset " + std::to_string(i);
  }
  if (actual.size() != expected.size()) {
    return "sizes " + std::to_string(actual.size()) + " and " + std::to_string(expected.size());
  }
  return "identical";
}

constexpr std::size_t kLongNode = 2432;

TEST(TableFormatTest, EmptyTableIsExactlyItsHeaderWithNoRoots) {
  testing::TempDir dir;
  const std::string path = dir.File("empty.tbl");
  {
    CRecordTable table;
    ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
    ASSERT_TRUE(table.AddField("name", ftText, 20));
    ASSERT_TRUE(table.Create(path, "demo table"));
    ASSERT_TRUE(table.Close());
  }
  const std::string expected =
      HeaderBytes({{"id", 8, 4}, {"name", 5, 20}}, {{"id", 2, 0, 0, 0, 4}}, 0, "demo table");
  const std::string actual = testing::ReadFile(path);
  ASSERT_EQ(actual.size(), 15472u);
  EXPECT_EQ(actual, expected) << FirstDifference(actual, expected);
}

TEST(TableFormatTest, FirstRecordMakesOneLeafThatIsRootFirstAndLast) {
  testing::MemoryFileOpener files;
  {
    CRecordTable table(files);
    ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
    ASSERT_TRUE(table.AddField("note", ftText, 512));
    ASSERT_TRUE(table.Create("t"));
    ASSERT_TRUE(table.SetFieldText(1, "abc"));
    ASSERT_TRUE(table.Append());
    ASSERT_TRUE(table.Close());
  }
  const std::string record = Bytes().I16(0, 11).I32(2, 1).I16(6, 3).Text(8, "abc").str();
  const std::int32_t leaf = 15472 + 11;
  KeyDecl key{"id", 2, 0, 0, 0, 4, leaf, leaf, leaf};
  const std::string expected = HeaderBytes({{"id", 8, 4}, {"note", 5, 512}}, {key}, 1) + record +
                               NodeBytes({{Int32Key(1), -1, 15472}}, -1, leaf, -1, -1, 4, 1628, kLongNode);
  const std::string& actual = files["t"]->bytes;
  EXPECT_EQ(actual, expected) << FirstDifference(actual, expected);
}

struct TextCase {
  int width;
  std::string stored;     // the text set into the field
  std::string packed;     // what the compact record holds after the length word
  std::string readBack;   // GetFieldText afterwards
};

class CompactTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(CompactTextTest, TextIsStoredWithItsLengthAndReadBackNulPadded) {
  const TextCase& c = GetParam();
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
  ASSERT_TRUE(table.AddField("text", ftText, c.width));
  ASSERT_TRUE(table.Create("t"));
  ASSERT_TRUE(table.SetFieldText(1, c.stored));
  ASSERT_TRUE(table.Append());
  ASSERT_TRUE(table.Close());

  const std::string packed = Bytes().I32(0, 1).Append(c.packed).str();
  const std::string expected = Bytes().I16(0, static_cast<int>(2 + packed.size())).Append(packed).str();
  EXPECT_EQ(files["t"]->bytes.substr(15472, expected.size()), expected);

  ASSERT_TRUE(table.Open("t"));
  ASSERT_TRUE(table.First(0));
  EXPECT_EQ(table.GetFieldText(1), c.readBack);
  std::string raw(static_cast<std::size_t>(c.width), 'x');
  ASSERT_TRUE(table.GetField(1, raw.data(), raw.size()));
  EXPECT_EQ(raw, c.readBack + std::string(c.width - c.readBack.size(), '\0'));
}

std::string Packed(const std::string& text) { return Bytes().I16(0, static_cast<int>(text.size())).Text(2, text).str(); }

INSTANTIATE_TEST_SUITE_P(
    Texts, CompactTextTest,
    ::testing::Values(TextCase{512, "abc", Packed("abc"), "abc"},
                      TextCase{8, "abcdefgh", Packed("abcdefgh"), "abcdefgh"},  // fills the field: no NUL
                      TextCase{8, "abcdefghij", Packed("abcdefgh"), "abcdefgh"},
                      TextCase{16, "", Packed(""), ""},
                      TextCase{512, std::string(600, 'x'), Packed(std::string(512, 'x')), std::string(512, 'x')}));

// Records of an id-only table are 6 bytes: length word 6 and the number.
std::string IdRecord(int id) { return Bytes().I16(0, 6).I32(2, id).str(); }

TEST(TableFormatTest, The201stKeySplitsTheLeafAndThe202ndRaisesTheRoot) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
  ASSERT_TRUE(table.Create("t"));
  for (int i = 1; i <= 201; ++i) ASSERT_TRUE(table.Append()) << i;
  ASSERT_TRUE(table.Close());

  // Record 1, then the leaf, then records 2..201, then the new root and the
  // new right leaf.
  const std::int32_t leaf = 15472 + 6;
  auto recordAt = [&](int id) { return id == 1 ? 15472 : leaf + 2432 + 6 * (id - 2); };
  const std::int32_t root = recordAt(201) + 6;
  const std::int32_t right = root + 2432;

  std::vector<NodeEntry> left, moved;
  for (int id = 1; id <= 100; ++id) left.push_back({Int32Key(id), -1, recordAt(id)});
  for (int id = 101; id <= 201; ++id) moved.push_back({Int32Key(id), -1, recordAt(id)});
  std::string expected = HeaderBytes({{"id", 8, 4}}, {{"id", 2, 0, 0, 0, 4, root, leaf, right}}, 201) +
                         IdRecord(1) + NodeBytes(left, root, leaf, -1, right, 4, 1628, kLongNode);
  for (int id = 2; id <= 201; ++id) expected += IdRecord(id);
  expected += NodeBytes({{Int32Key(100), leaf, 0}, {Int32Key(201), right, 0}}, -1, root, -1, -1, 4, 1628, kLongNode);
  expected += NodeBytes(moved, root, right, leaf, -1, 4, 1628, kLongNode);
  std::string actual = files["t"]->bytes;
  ASSERT_EQ(actual, expected) << FirstDifference(actual, expected);

  ASSERT_TRUE(table.Open("t"));
  ASSERT_TRUE(table.Append());
  ASSERT_TRUE(table.Close());
  const std::int32_t record202 = right + 2432;
  moved.push_back({Int32Key(202), -1, record202});
  actual = files["t"]->bytes;
  ASSERT_EQ(actual.size(), static_cast<std::size_t>(record202 + 6));
  EXPECT_EQ(actual.substr(root, 2432),
            NodeBytes({{Int32Key(100), leaf, 0}, {Int32Key(202), right, 0}}, -1, root, -1, -1, 4, 1628, kLongNode));
  EXPECT_EQ(actual.substr(right, 2432), NodeBytes(moved, root, right, leaf, -1, 4, 1628, kLongNode));
  EXPECT_EQ(actual.substr(record202, 6), IdRecord(202));
}

// The node shape of each key type: its size and where its key slots start.
struct ShapeCase {
  int type;
  int width;
  std::string value;    // set with SetFieldText
  std::string slot;     // the key slot bytes of the leaf's entry 0
  std::size_t keysAt;
  std::size_t nodeSize;
};

class NodeShapeTest : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(NodeShapeTest, LeafOfEachKeyTypeHasItsSizeAndSlots) {
  const ShapeCase& c = GetParam();
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("v", c.type, c.width));
  ASSERT_TRUE(table.CreateKey("k", kkDuplicates, 0, cmExact, 0, 4));
  ASSERT_TRUE(table.Create("t"));
  ASSERT_TRUE(table.SetFieldText(0, c.value));
  ASSERT_TRUE(table.Append());
  ASSERT_TRUE(table.Close());
  const std::string& bytes = files["t"]->bytes;
  const std::int32_t leaf = testing::ReadI32(bytes, 15252);
  ASSERT_EQ(bytes.size(), static_cast<std::size_t>(leaf) + c.nodeSize);
  EXPECT_EQ(bytes.substr(static_cast<std::size_t>(leaf)),
            NodeBytes({{c.slot, -1, 15472}}, -1, leaf, -1, -1, c.slot.size(), c.keysAt, c.nodeSize));
}

INSTANTIATE_TEST_SUITE_P(
    KeyTypes, NodeShapeTest,
    ::testing::Values(ShapeCase{ftByte, 1, "1", std::string("\x01", 1), 1628, 1832},
                      ShapeCase{ftShort, 2, "-2", std::string("\xfe\xff", 2), 1628, 2032},
                      ShapeCase{ftLong, 4, "258", std::string("\x02\x01\x00\x00", 4), 1628, 2432},
                      ShapeCase{ftFloat, 4, "1.5", std::string("\x00\x00\xc0\x3f", 4), 1628, 2432},
                      ShapeCase{ftDouble, 8, "1.5", std::string("\x00\x00\x00\x00\x00\x00\xf8\x3f", 8), 1632, 3240},
                      // A text part of 4 bytes: slots of 5 bytes from offset 1632.
                      ShapeCase{ftText, 10, "abcdefg", std::string("abcd\0", 5), 1632, 1632 + 201 * 5}));

}  // namespace
}  // namespace quorvel::recorddb
