// Key trees of every key type: order, splits in any insertion order, deep
// trees, duplicate chains, removed entries and the search's edge cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "recorddb/key_tree.h"
#include "recorddb/record_table.h"
#include "recorddb/table_store.h"
#include "tests/recorddb/layout_bytes.h"
#include "tests/recorddb/memory_file.h"

namespace quorvel::recorddb {
namespace {

using testing::ReadI32;

std::vector<int> Shuffled(int n, unsigned seed) {
  std::vector<int> order(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) order[static_cast<std::size_t>(i)] = i;
  std::shuffle(order.begin(), order.end(), std::mt19937(seed));
  return order;
}

// Checks the tree of an int32 key (ftLong/ftAutoInc) from the file bytes:
// sorted nodes of 1..200 entries, internal keys equal to their child's
// largest key, parents recorded, levels linked both ways in key order, and
// the header's first and last leaf at the ends. Returns the depth.
class LongTreeChecker {
 public:
  explicit LongTreeChecker(const std::string& bytes) : bytes_(bytes) {}

  int Check(std::int32_t root, std::int32_t firstLeaf, std::int32_t lastLeaf) {
    levels_.clear();
    Visit(root, -1, 0);
    for (const auto& level : levels_) {
      for (std::size_t i = 0; i < level.size(); ++i) {
        EXPECT_EQ(ReadI32(bytes_, level[i] + 1620), i == 0 ? -1 : level[i - 1]);
        EXPECT_EQ(ReadI32(bytes_, level[i] + 1624), i + 1 == level.size() ? -1 : level[i + 1]);
      }
    }
    EXPECT_EQ(levels_.back().front(), firstLeaf);
    EXPECT_EQ(levels_.back().back(), lastLeaf);
    return static_cast<int>(levels_.size());
  }

 private:
  // The largest key of the subtree at `node`.
  std::int32_t Visit(std::int32_t node, std::int32_t parent, std::size_t depth) {
    if (levels_.size() <= depth) levels_.resize(depth + 1);
    levels_[depth].push_back(node);
    const std::int32_t count = ReadI32(bytes_, node);
    EXPECT_GE(count, 1);
    EXPECT_LE(count, 200);
    EXPECT_EQ(ReadI32(bytes_, node + 1612), parent);
    EXPECT_EQ(ReadI32(bytes_, node + 1616), node);
    for (std::int32_t i = 0; i < count; ++i) {
      const std::int32_t key = ReadI32(bytes_, node + 1628 + 4 * i);
      if (i > 0) {
        EXPECT_LT(ReadI32(bytes_, node + 1628 + 4 * (i - 1)), key);
      }
      const std::int32_t child = ReadI32(bytes_, node + 4 + 4 * i);
      if (child != -1) {
        EXPECT_EQ(Visit(child, node, depth + 1), key);
      }
    }
    return ReadI32(bytes_, node + 1628 + 4 * (count - 1));
  }

  const std::string& bytes_;
  std::vector<std::vector<std::int32_t>> levels_;
};

struct OrderCase {
  const char* name;
  int type;
  int width;
  int compare;
  int count;
  std::function<std::string(int)> valueText;  // strictly increasing in the key's order
};

class KeyOrderTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(KeyOrderTest, ShuffledValuesWalkBackInKeyOrder) {
  const OrderCase& c = GetParam();
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("v", c.type, c.width));
  ASSERT_TRUE(table.AddField("i", ftLong, 0));
  ASSERT_TRUE(table.CreateKey("v", kkUnique, 0, c.compare, 0, c.width));
  ASSERT_TRUE(table.Create("t"));
  for (int i : Shuffled(c.count, 7)) {
    if (c.type == ftByte) {  // as text a byte field only takes 0 or 1
      const std::uint8_t b = static_cast<std::uint8_t>(i);
      ASSERT_TRUE(table.SetField(0, &b, 1));
    } else {
      ASSERT_TRUE(table.SetFieldText(0, c.valueText(i)));
    }
    ASSERT_TRUE(table.SetFieldText(1, std::to_string(i)));
    ASSERT_TRUE(table.Append()) << i << " " << table.GetErrorText();
  }
  ASSERT_TRUE(table.Close());
  ASSERT_TRUE(table.Open("t", AccessMode::kReadOnly));
  int expected = 0;
  for (bool ok = table.First(0); ok; ok = table.Next(0)) {
    ASSERT_EQ(table.GetFieldText(1), std::to_string(expected)) << "value " << table.GetFieldText(0);
    ++expected;
  }
  EXPECT_EQ(expected, c.count);
  ASSERT_TRUE(table.Last(0));
  EXPECT_EQ(table.GetFieldText(1), std::to_string(c.count - 1));
  EXPECT_EQ(table.GetErrorText(), "");
}

std::string Padded(int i) {
  char text[16];
  std::snprintf(text, sizeof text, "%05d", i);
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Types, KeyOrderTest,
    ::testing::Values(
        OrderCase{"ByteUnsigned", ftByte, 1, 0, 256, [](int i) { return std::to_string(i); }},
        OrderCase{"ShortSigned", ftShort, 2, 0, 450, [](int i) { return std::to_string((i - 225) * 70); }},
        OrderCase{"LongSigned", ftLong, 4, 0, 450, [](int i) { return std::to_string((i - 225) * 9000000); }},
        OrderCase{"Float", ftFloat, 4, 0, 450, [](int i) { return std::to_string((i - 225) * 0.25); }},
        OrderCase{"Double", ftDouble, 8, 0, 450, [](int i) { return std::to_string((i - 225) * 1e-3); }},
        OrderCase{"TextExact", ftText, 12, cmExact, 450, [](int i) { return "k" + Padded(i); }},
        // Alternating letter case is only in order when case is ignored.
        OrderCase{"TextNoCase", ftText, 12, cmNoCase, 450,
                  [](int i) { return std::string(i % 2 ? "K" : "k") + Padded(i); }},
        // Bytes above 127 order after ASCII when compared unsigned.
        OrderCase{"TextHighBytes", ftText, 4, cmExact, 3,
                  [](int i) { return std::string(1, "a~\xe9"[i]); }},
        // A shorter text orders first.
        OrderCase{"TextPrefix", ftText, 8, cmExact, 4, [](int i) { return std::string(static_cast<std::size_t>(i + 1), 'm'); }}),
    [](const ::testing::TestParamInfo<OrderCase>& info) { return std::string(info.param.name); });

TEST(KeyTreeTest, ExactAndNoCaseOrderLettersDifferently) {
  for (int mode : {cmExact, cmNoCase}) {
    testing::MemoryFileOpener files;
    CRecordTable table(files);
    ASSERT_TRUE(table.AddField("v", ftText, 4));
    ASSERT_TRUE(table.CreateKey("v", kkDuplicates, 0, mode, 0, 4));
    ASSERT_TRUE(table.Create("t"));
    for (const char* v : {"b", "A", "a", "B"}) {
      ASSERT_TRUE(table.SetFieldText(0, v));
      ASSERT_TRUE(table.Append());
    }
    std::string walk;
    for (bool ok = table.First(0); ok; ok = table.Next(0)) walk += table.GetFieldText(0);
    // No case: "b"/"B" and "A"/"a" are equal values, chained in arrival order.
    EXPECT_EQ(walk, mode == cmExact ? "ABab" : "AabB");
  }
}

TEST(KeyTreeTest, AscendingNumbersBuildAThreeLevelTreeWithFullLeaves) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
  ASSERT_TRUE(table.Create("t"));
  const int n = 20500;  // the root splits after 201 leaves of 100
  for (int i = 0; i < n; ++i) ASSERT_TRUE(table.Append());
  const TableHeader header = table.Header();
  ASSERT_TRUE(table.Close());
  const std::string& bytes = files["t"]->bytes;
  LongTreeChecker checker(bytes);
  EXPECT_EQ(checker.Check(header.roots[0], header.firstLeaves[0], header.lastLeaves[0]), 3);
  // Every leaf but the last holds exactly 100 entries.
  for (std::int32_t leaf = header.firstLeaves[0]; leaf != header.lastLeaves[0]; leaf = ReadI32(bytes, leaf + 1624)) {
    ASSERT_EQ(ReadI32(bytes, leaf), 100);
  }
  const std::int32_t last = ReadI32(bytes, header.lastLeaves[0]);
  EXPECT_GE(last, 101);
  EXPECT_LE(last, 200);

  ASSERT_TRUE(table.Open("t"));
  int expected = 1;
  for (bool ok = table.First(0); ok; ok = table.Next(0)) ASSERT_EQ(table.GetFieldText(0), std::to_string(expected++));
  EXPECT_EQ(expected, n + 1);
}

TEST(KeyTreeTest, ShuffledValuesKeepEveryTreeInvariant) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("v", ftLong, 0));
  ASSERT_TRUE(table.CreateKey("v", kkUnique, 0, 0, 0, 0));
  ASSERT_TRUE(table.Create("t"));
  for (int i : Shuffled(6000, 3)) {
    ASSERT_TRUE(table.SetFieldText(0, std::to_string(i * 3)));
    ASSERT_TRUE(table.Append());
  }
  const TableHeader header = table.Header();
  ASSERT_TRUE(table.Close());
  LongTreeChecker checker(files["t"]->bytes);
  EXPECT_GE(checker.Check(header.roots[0], header.firstLeaves[0], header.lastLeaves[0]), 2);
}

// The three blocks of a chain: tag, record, next, previous, last-or-self.
std::string Block(std::int32_t record, std::int32_t next, std::int32_t previous, std::int32_t last) {
  return testing::Bytes().Text(0, "fDUPKEY").I32(8, record).I32(12, next).I32(16, previous).I32(20, last).str();
}

TEST(DuplicateChainTest, EqualValuesFormAChainWalkedInArrivalOrder) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("v", ftText, 8));
  ASSERT_TRUE(table.CreateKey("v", kkDuplicates, 0, cmExact, 0, 8));
  ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));  // key 1
  ASSERT_TRUE(table.Create("t"));
  for (const char* v : {"x", "y", "x", "x"}) {
    ASSERT_TRUE(table.SetFieldText(0, v));
    ASSERT_TRUE(table.Append());
  }
  ASSERT_TRUE(table.Close());

  // Records are 9 bytes (length, "x" as 1+2 bytes, the number). Record 1,
  // the two first leaves (3441 and 2432 bytes), record 2, record 3 with
  // the chain's head and second block, record 4 with the third block.
  const std::int32_t rec1 = 15472, rec2 = rec1 + 9 + 3441 + 2432, rec3 = rec2 + 9;
  const std::int32_t head = rec3 + 9, second = head + 24, rec4 = second + 24, third = rec4 + 9;
  const std::string& bytes = files["t"]->bytes;
  ASSERT_EQ(bytes.size(), static_cast<std::size_t>(third + 24));
  EXPECT_EQ(bytes.substr(head, 24), Block(rec1, second, -1, third));
  EXPECT_EQ(bytes.substr(second, 24), Block(rec3, third, head, second));
  EXPECT_EQ(bytes.substr(third, 24), Block(rec4, -1, second, third));
  EXPECT_EQ(ReadI32(bytes, rec1 + 9 + 808), head);  // the leaf entry of "x" points at the head

  // Backwards along the previous positions from the head's last block.
  std::vector<std::int32_t> backwards;
  for (std::int32_t b = ReadI32(bytes, head + 20); b != -1; b = ReadI32(bytes, b + 16)) {
    backwards.push_back(ReadI32(bytes, b + 8));
  }
  EXPECT_EQ(backwards, (std::vector<std::int32_t>{rec4, rec3, rec1}));

  ASSERT_TRUE(table.Open("t"));
  std::string walk;
  for (bool ok = table.First(0); ok; ok = table.Next(0)) walk += table.GetFieldText(0) + table.GetFieldText(1) + " ";
  EXPECT_EQ(walk, "x1 x3 x4 y2 ");
}

TEST(DuplicateChainTest, LastLandsOnTheChainsNewestRecord) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("v", ftShort, 0));
  ASSERT_TRUE(table.CreateKey("v", kkDuplicates, 0, 0, 0, 0));
  ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
  ASSERT_TRUE(table.Create("t"));
  for (const char* v : {"1", "2", "2", "2"}) {
    ASSERT_TRUE(table.SetFieldText(0, v));
    ASSERT_TRUE(table.Append());
  }
  ASSERT_TRUE(table.Last(0));
  EXPECT_EQ(table.GetFieldText(1), "4");
  EXPECT_FALSE(table.Next(0));
  EXPECT_EQ(table.GetFieldText(1), "4");
  // A two-record chain turns into three without losing its head.
  ASSERT_TRUE(table.First(0));
  std::string ids;
  for (bool ok = table.First(0); ok; ok = table.Next(0)) ids += table.GetFieldText(1);
  EXPECT_EQ(ids, "1234");
}

TEST(DuplicateChainTest, WalksOfTwoKeysKeepTheirOwnCursors) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("id", ftAutoInc, -1));
  ASSERT_TRUE(table.AddField("v", ftByte, 0));
  ASSERT_TRUE(table.CreateKey("v", kkDuplicates, 1, 0, 0, 0));
  ASSERT_TRUE(table.Create("t"));
  for (std::uint8_t v : {5, 3, 5}) {
    ASSERT_TRUE(table.SetField(1, &v, 1));
    ASSERT_TRUE(table.Append());
  }
  ASSERT_TRUE(table.First(1));  // 3 (id 2)
  ASSERT_TRUE(table.First(0));  // id 1
  ASSERT_TRUE(table.Next(1));   // 5 (id 1)
  EXPECT_EQ(table.GetFieldText(0), "1");
  ASSERT_TRUE(table.Next(0));   // id 2
  EXPECT_EQ(table.GetFieldText(0), "2");
  ASSERT_TRUE(table.Next(1));   // 5 (id 3)
  EXPECT_EQ(table.GetFieldText(0), "3");
}

// A table of long values 1..5 whose entry for `removed` is marked removed,
// as another tool would leave it.
std::string TableWithRemovedEntry(testing::MemoryFileOpener& files, int removed) {
  CRecordTable table(files);
  EXPECT_TRUE(table.AddField("v", ftLong, 0));
  EXPECT_TRUE(table.CreateKey("v", kkUnique, 0, 0, 0, 0));
  EXPECT_TRUE(table.Create("t"));
  for (int v = 1; v <= 5; ++v) {
    EXPECT_TRUE(table.SetFieldText(0, std::to_string(v)));
    EXPECT_TRUE(table.Append());
  }
  const std::int32_t leaf = table.Header().firstLeaves[0];
  EXPECT_TRUE(table.Close());
  testing::PatchI32(files["t"]->bytes, static_cast<std::size_t>(leaf + 808 + 4 * (removed - 1)), -1);
  return files["t"]->bytes;
}

TEST(RemovedEntryTest, WalksSkipRemovedEntriesAtEveryPlace) {
  for (int removed : {1, 3, 5}) {
    testing::MemoryFileOpener files;
    TableWithRemovedEntry(files, removed);
    CRecordTable table(files);
    ASSERT_TRUE(table.Open("t"));
    std::string walk;
    for (bool ok = table.First(0); ok; ok = table.Next(0)) walk += table.GetFieldText(0);
    std::string expected = "12345";
    expected.erase(static_cast<std::size_t>(removed - 1), 1);
    EXPECT_EQ(walk, expected);
    ASSERT_TRUE(table.Last(0));
    EXPECT_EQ(table.GetFieldText(0), removed == 5 ? "4" : "5");
  }
}

TEST(RemovedEntryTest, AppendRefillsARemovedEntryOfAUniqueKey) {
  testing::MemoryFileOpener files;
  const std::string before = TableWithRemovedEntry(files, 3);
  CRecordTable table(files);
  ASSERT_TRUE(table.Open("t"));
  ASSERT_TRUE(table.SetFieldText(0, "3"));
  ASSERT_TRUE(table.Append());
  ASSERT_TRUE(table.Close());
  // Only the record is added; the entry takes its position in place.
  EXPECT_EQ(files["t"]->bytes.size(), before.size() + 6);
  ASSERT_TRUE(table.Open("t"));
  std::string walk;
  for (bool ok = table.First(0); ok; ok = table.Next(0)) walk += table.GetFieldText(0);
  EXPECT_EQ(walk, "12345");
}

TEST(KeySearchTest, SearchFindsPlacesAtTheEdgesAndSeparators) {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  ASSERT_TRUE(table.AddField("v", ftLong, 0));
  ASSERT_TRUE(table.CreateKey("v", kkUnique, 0, 0, 0, 0));
  ASSERT_TRUE(table.Create("t"));
  for (int v = 10; v <= 3000; v += 10) {  // 300 values: two leaves under a root
    ASSERT_TRUE(table.SetFieldText(0, std::to_string(v)));
    ASSERT_TRUE(table.Append());
  }
  TableHeader header = table.Header();
  ASSERT_TRUE(table.Close());

  TableStore store(files.Open("t", platform::FileOpenMode::kReadOnly));
  KeyTree tree(store, ftLong, 0, 4, header.roots[0], header.firstLeaves[0], header.lastLeaves[0]);
  auto search = [&](std::int32_t v) {
    std::uint8_t key[4];
    for (int i = 0; i < 4; ++i) key[i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
    return tree.SearchKey(key, false);
  };
  KeySearch below = search(5);
  EXPECT_EQ(below.leaf, header.firstLeaves[0]);
  EXPECT_EQ(below.entry, 0);
  EXPECT_FALSE(below.found);

  KeySearch separator = search(1000);  // the first leaf's largest key, also in the root
  EXPECT_TRUE(separator.found);
  EXPECT_EQ(separator.leaf, header.firstLeaves[0]);
  EXPECT_EQ(separator.entry, 99);
  EXPECT_GE(separator.record, 15472);

  KeySearch between = search(1005);
  EXPECT_FALSE(between.found);
  EXPECT_EQ(between.leaf, header.lastLeaves[0]);
  EXPECT_EQ(between.entry, 0);

  KeySearch above = search(3001);
  EXPECT_TRUE(above.greaterThanAll);
  EXPECT_EQ(above.leaf, header.lastLeaves[0]);
  EXPECT_EQ(above.entry, 200);
  EXPECT_FALSE(above.damaged);
}

}  // namespace
}  // namespace quorvel::recorddb
