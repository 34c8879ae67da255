// Damaged and hostile table files: each impossible header is refused by
// Open, and each damaged record, node or chain makes the operation that meets
// it fail (never crash, read out of bounds, loop forever, or take a damaged
// tree for an empty one).
#include <gtest/gtest.h>

#include <functional>

#include "recorddb/record_table.h"
#include "tests/recorddb/layout_bytes.h"
#include "tests/recorddb/memory_file.h"

namespace quorvel::recorddb {
namespace {

using testing::PatchI16;
using testing::PatchI32;
using testing::ReadI32;

constexpr char kDamaged[] = "the table file is damaged";

// A valid table: "id" (autoinc, key 0), "name" text 8, and "tag" text 4
// with a duplicates key (key 1). 250 records, so key 0 has two leaves; every
// tag is "t", so key 1 has one entry heading a chain of 250 blocks.
struct Sample {
  std::string bytes;
  TableHeader header;
  std::int32_t firstRecord = 15472;
};

Sample MakeSample() {
  testing::MemoryFileOpener files;
  CRecordTable table(files);
  EXPECT_TRUE(table.AddField("id", ftAutoInc, -1));
  EXPECT_TRUE(table.AddField("name", ftText, 8));
  EXPECT_TRUE(table.AddField("tag", ftText, 4));
  EXPECT_TRUE(table.CreateKey("tag", kkDuplicates, 2, cmExact, 0, 4));
  EXPECT_TRUE(table.Create("t"));
  for (int i = 0; i < 250; ++i) {
    EXPECT_TRUE(table.SetFieldText(1, "n" + std::to_string(i)));
    EXPECT_TRUE(table.SetFieldText(2, "t"));
    EXPECT_TRUE(table.Append());
  }
  Sample sample;
  sample.header = table.Header();
  EXPECT_TRUE(table.Close());
  sample.bytes = files["t"]->bytes;
  return sample;
}

const Sample& ValidSample() {
  static const Sample sample = MakeSample();
  return sample;
}

// Walks key `key` to its end, at most `limit` steps; returns the steps or -1
// when the limit was hit.
int WalkAll(CRecordTable& table, int key, int limit = 100000) {
  int steps = 0;
  for (bool ok = table.First(key); ok; ok = table.Next(key)) {
    if (++steps > limit) return -1;
  }
  return steps;
}

struct HeaderCase {
  const char* name;
  std::function<void(std::string&, const Sample&)> damage;
};

class ImpossibleHeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(ImpossibleHeaderTest, OpenRefusesAndLeavesTheTableClosed) {
  testing::MemoryFileOpener files;
  std::string bytes = ValidSample().bytes;
  GetParam().damage(bytes, ValidSample());
  files["t"]->bytes = bytes;
  CRecordTable table(files);
  EXPECT_FALSE(table.Open("t"));
  EXPECT_EQ(table.GetErrorText(), kDamaged);
  EXPECT_FALSE(table.IsOpen());
  EXPECT_FALSE(table.Append());
  EXPECT_EQ(files["t"]->bytes, bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, ImpossibleHeaderTest,
    ::testing::Values(
        HeaderCase{"ShorterThanHeader", [](std::string& b, auto&) { b.resize(15000); }},
        HeaderCase{"WidthsDoNotAddUp", [](std::string& b, auto&) { PatchI32(b, 32, 17); }},
        HeaderCase{"RecordSizeZero",
                   [](std::string& b, auto&) {
                     PatchI16(b, 4648, 0);  // no fields at all
                     PatchI32(b, 32, 0);
                   }},
        HeaderCase{"RecordSizeBeyondSchema",
                   [](std::string& b, auto&) {
                     PatchI16(b, 4392 + 2, 30000);  // a text field wider than 1024
                     PatchI32(b, 32, 4 + 30000 + 4);
                   }},
        HeaderCase{"FixedWidthChanged",
                   [](std::string& b, auto&) {
                     PatchI16(b, 4392, 8);  // an autoinc field claiming 8 bytes
                     PatchI32(b, 32, 8 + 8 + 4);
                   }},
        HeaderCase{"UnknownFieldType", [](std::string& b, auto&) { PatchI16(b, 4136 + 2, 9); }},
        HeaderCase{"FieldCountAbove128", [](std::string& b, auto&) { PatchI16(b, 4648, 129); }},
        HeaderCase{"KeyCountAbove10", [](std::string& b, auto&) { PatchI16(b, 15250, 11); }},
        HeaderCase{"KeyOnMissingField", [](std::string& b, auto&) { PatchI16(b, 4990, 5); }},
        HeaderCase{"TextKeyPartTooLong", [](std::string& b, auto&) { PatchI16(b, 12670 + 256, 129); }},
        HeaderCase{"UnknownKeyKind", [](std::string& b, auto&) { PatchI16(b, 4970, 3); }},
        HeaderCase{"RootInsideHeader", [](std::string& b, auto&) { PatchI32(b, 15252, 100); }},
        HeaderCase{"RootOutsideFile",
                   [](std::string& b, auto&) { PatchI32(b, 15252, static_cast<std::int32_t>(b.size())); }},
        HeaderCase{"LeafWithoutRoot", [](std::string& b, auto&) { PatchI32(b, 15252, -1); }},
        HeaderCase{"NegativeRecordCount", [](std::string& b, auto&) { PatchI32(b, 36, -3); }}),
    [](const ::testing::TestParamInfo<HeaderCase>& info) { return std::string(info.param.name); });

struct DamageCase {
  const char* name;
  std::function<void(std::string&, const Sample&)> damage;
  int key;           // the key whose walk meets the damage, -1 when no walk does
  bool appendFails;  // Append meets it too
};

class DamagedContentTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedContentTest, OperationsMeetingTheDamageFail) {
  const DamageCase& c = GetParam();
  testing::MemoryFileOpener files;
  std::string bytes = ValidSample().bytes;
  c.damage(bytes, ValidSample());
  files["t"]->bytes = bytes;
  CRecordTable table(files);
  ASSERT_TRUE(table.Open("t")) << table.GetErrorText();
  if (c.key >= 0) {
    EXPECT_NE(WalkAll(table, c.key), -1) << "the walk did not end";
    EXPECT_EQ(table.GetErrorText(), kDamaged);
  }
  if (c.appendFails) {
    ASSERT_TRUE(table.SetFieldText(2, "t"));
    EXPECT_FALSE(table.Append());
    EXPECT_EQ(table.GetErrorText(), kDamaged);
    ASSERT_TRUE(table.Close());
    // Nothing was written, above all no new tree over the damaged one.
    EXPECT_EQ(files["t"]->bytes, bytes);
  }
}

std::int32_t Root(const Sample& s, int key) { return s.header.roots[key]; }
std::int32_t FirstLeaf(const Sample& s, int key) { return s.header.firstLeaves[key]; }
std::int32_t LastLeaf(const Sample& s, int key) { return s.header.lastLeaves[key]; }

INSTANTIATE_TEST_SUITE_P(
    Content, DamagedContentTest,
    ::testing::Values(
        DamageCase{"TextLengthBeyondWidth",
                   [](std::string& b, const Sample& s) { PatchI16(b, static_cast<std::size_t>(s.firstRecord + 6), 9); }, 0,
                   false},
        DamageCase{"NegativeTextLength",
                   [](std::string& b, const Sample& s) { PatchI16(b, static_cast<std::size_t>(s.firstRecord + 6), -2); },
                   0, false},
        DamageCase{"RecordLengthBeyondFile",
                   [](std::string& b, const Sample& s) { PatchI16(b, static_cast<std::size_t>(s.firstRecord), 32000); }, 0,
                   false},
        DamageCase{"RecordPositionOutsideFile",
                   [](std::string& b, const Sample& s) {
                     PatchI32(b, static_cast<std::size_t>(FirstLeaf(s, 0) + 808), static_cast<std::int32_t>(b.size()) + 10);
                   },
                   0, false},
        DamageCase{"RecordPositionInsideHeader",
                   [](std::string& b, const Sample& s) { PatchI32(b, static_cast<std::size_t>(FirstLeaf(s, 0) + 808), 40); }, 0,
                   false},
        // Walks go along the leaves; the root matters to Append's search.
        DamageCase{"RootCountAbove200",
                   [](std::string& b, const Sample& s) { PatchI32(b, static_cast<std::size_t>(Root(s, 0)), 201); }, -1, true},
        DamageCase{"LastLeafCountAbove200",
                   [](std::string& b, const Sample& s) { PatchI32(b, static_cast<std::size_t>(LastLeaf(s, 0)), 5000); }, 0,
                   true},
        DamageCase{"LastLeafCountZero",
                   [](std::string& b, const Sample& s) { PatchI32(b, static_cast<std::size_t>(LastLeaf(s, 0)), 0); }, 0,
                   true},
        DamageCase{"ChildIsItsOwnParent",
                   [](std::string& b, const Sample& s) {
                     // Every child of the root is the root: an endless descent.
                     for (int i = 0; i < 2; ++i) PatchI32(b, static_cast<std::size_t>(Root(s, 0) + 4 + 4 * i), Root(s, 0));
                   },
                   -1, true},
        DamageCase{"NodeOwnPositionWrong",
                   [](std::string& b, const Sample& s) { PatchI32(b, static_cast<std::size_t>(FirstLeaf(s, 0) + 1616), 15472); },
                   0, false},
        DamageCase{"LeafChainCycle",
                   [](std::string& b, const Sample& s) {
                     // The last leaf's next goes back to the first leaf.
                     const std::int32_t second = ReadI32(b, static_cast<std::size_t>(FirstLeaf(s, 0) + 1624));
                     PatchI32(b, static_cast<std::size_t>(second + 1624), FirstLeaf(s, 0));
                   },
                   0, false},
        DamageCase{"DuplicateChainCycle",
                   [](std::string& b, const Sample& s) {
                     // The third block's next goes back to the head.
                     const std::int32_t head = ReadI32(b, static_cast<std::size_t>(FirstLeaf(s, 1) + 808));
                     const std::int32_t second = ReadI32(b, static_cast<std::size_t>(head + 12));
                     const std::int32_t third = ReadI32(b, static_cast<std::size_t>(second + 12));
                     PatchI32(b, static_cast<std::size_t>(third + 12), head);
                   },
                   1, false},
        DamageCase{"DuplicateLastBlockNotABlock",
                   [](std::string& b, const Sample& s) {
                     const std::int32_t head = ReadI32(b, static_cast<std::size_t>(FirstLeaf(s, 1) + 808));
                     PatchI32(b, static_cast<std::size_t>(head + 20), s.firstRecord);
                   },
                   -1, true}),
    [](const ::testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.name); });

TEST(HostileFileTest, CycleOfRemovedEntriesEndsFirstAndLast) {
  // A leaf whose entries are all removed and whose next leaf is itself.
  std::string bytes = ValidSample().bytes;
  const std::int32_t leaf = FirstLeaf(ValidSample(), 0);
  const std::int32_t count = ReadI32(bytes, static_cast<std::size_t>(leaf));
  for (std::int32_t i = 0; i < count; ++i) PatchI32(bytes, static_cast<std::size_t>(leaf + 808 + 4 * i), -1);
  PatchI32(bytes, static_cast<std::size_t>(leaf + 1624), leaf);
  PatchI32(bytes, static_cast<std::size_t>(leaf + 1620), leaf);
  PatchI32(bytes, 15332, leaf);  // last leaf = first leaf
  testing::MemoryFileOpener files;
  files["t"]->bytes = bytes;
  CRecordTable table(files);
  ASSERT_TRUE(table.Open("t"));
  EXPECT_FALSE(table.First(0));
  EXPECT_EQ(table.GetErrorText(), kDamaged);
  EXPECT_FALSE(table.Last(0));
}

TEST(HostileFileTest, TheValidSampleWalksWhole) {
  // The damage cases above start from this file; it must be sound itself.
  testing::MemoryFileOpener files;
  files["t"]->bytes = ValidSample().bytes;
  CRecordTable table(files);
  ASSERT_TRUE(table.Open("t"));
  EXPECT_EQ(WalkAll(table, 0), 250);
  EXPECT_EQ(WalkAll(table, 1), 250);
  EXPECT_EQ(table.GetErrorText(), "");
}

}  // namespace
}  // namespace quorvel::recorddb
