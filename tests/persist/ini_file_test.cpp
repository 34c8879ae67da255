#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <ostream>

#include "platform/file_system.h"
#include "tests/persist/test_files.h"

namespace quorvel::platform {
namespace {

struct ReadCase {
  const char* label;
  std::string text;
  const char* section;
  const char* key;
  std::optional<std::string> expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.label; }

class IniReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniReadTest, ReadsLikeThePrivateProfileReader) {
  const ReadCase& c = GetParam();
  EXPECT_EQ(IniDocument(c.text).Get(c.section, c.key), c.expected) << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniReadTest,
    ::testing::Values(
        ReadCase{"plain", "[Option]\nBackupfile=0\n", "Option", "Backupfile", "0"},
        ReadCase{"names ignore case", "[oPTION]\nbackupFILE=0\n", "Option", "Backupfile", "0"},
        ReadCase{"names and value trimmed", "  [ Option ]  \n\t Backupfile \t= \t0 \t\n", "Option",
                 "Backupfile", "0"},
        ReadCase{"double quotes removed", "[Option]\nURL= \"a b\" \n", "Option", "URL", "a b"},
        ReadCase{"single quotes removed", "[Option]\nURL='x'\n", "Option", "URL", "x"},
        ReadCase{"unmatched quotes kept", "[Option]\nURL=\"x'\n", "Option", "URL", "\"x'"},
        ReadCase{"lone quote kept", "[Option]\nURL=\"\n", "Option", "URL", "\""},
        ReadCase{"value holds '='", "[Option]\nURL=a=b\n", "Option", "URL", "a=b"},
        ReadCase{"empty value", "[Option]\nURL=\n", "Option", "URL", ""},
        ReadCase{"CRLF line ends", "[Option]\r\nURL=x\r\nRedirect=1\r\n", "Option", "URL", "x"},
        ReadCase{"CR line ends", "[Option]\rURL=x\rRedirect=1\r", "Option", "Redirect", "1"},
        ReadCase{"byte order mark", "\xEF\xBB\xBF[Option]\nURL=x\n", "Option", "URL", "x"},
        ReadCase{"no final line end", "[Option]\nURL=x", "Option", "URL", "x"},
        ReadCase{"first of duplicate keys", "[Option]\nURL=first\nURL=second\n", "Option", "URL",
                 "first"},
        ReadCase{"first section of a name counts", "[Option]\nA=1\n[Option]\nURL=x\n", "Option", "URL",
                 std::nullopt},
        ReadCase{"key before any section", "URL=x\n[Option]\n", "Option", "URL", std::nullopt},
        ReadCase{"key of another section", "[Other]\nURL=x\n[Option]\nA=1\n", "Option", "URL",
                 std::nullopt},
        ReadCase{"comment line", "[Option]\n;URL=x\n", "Option", "URL", std::nullopt},
        ReadCase{"line without '='", "[Option]\nURL\n", "Option", "URL", std::nullopt},
        ReadCase{"missing section", "", "Option", "URL", std::nullopt},
        ReadCase{"header without ']'", "[Option\nURL=x\n", "Option", "URL", "x"}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return "case" + std::to_string(info.index); });

TEST(IniWriteTest, ChangingAKeyKeepsEveryOtherByte) {
  const std::string before =
      "\xEF\xBB\xBF; written by hand\r\n"
      "[Other]\r\n"
      "Backupfile=7\r\n"
      "\r\n"
      "[option]\r\n"
      "Unknown = kept\r\n"
      "backupfile = 1\r\n"
      "Backupfile=9\r\n"
      "[Last]\r\n"
      "x=y";
  IniDocument document(before);
  document.Set("Option", "Backupfile", "0");
  EXPECT_EQ(document.Text(),
            "\xEF\xBB\xBF; written by hand\r\n"
            "[Other]\r\n"
            "Backupfile=7\r\n"
            "\r\n"
            "[option]\r\n"
            "Unknown = kept\r\n"
            "backupfile =0\r\n"
            "Backupfile=9\r\n"
            "[Last]\r\n"
            "x=y");
  EXPECT_EQ(document.Get("Option", "Backupfile"), "0");
  EXPECT_EQ(document.Get("Other", "Backupfile"), "7");
}

TEST(IniWriteTest, MissingKeyGoesAfterTheLastKeyOfItsSection) {
  IniDocument document(
      "[Option]\n"
      "URL=x\n"
      "\n"
      "; about the next section\n"
      "[Next]\n"
      "a=b\n");
  document.Set("Option", "Redirect", "1");
  EXPECT_EQ(document.Text(),
            "[Option]\n"
            "URL=x\n"
            "Redirect=1\n"
            "\n"
            "; about the next section\n"
            "[Next]\n"
            "a=b\n");
}

TEST(IniWriteTest, MissingSectionIsAppendedWithTheFilesOwnLineEnds) {
  IniDocument document("; keys without a section\r\nURL=stray");
  document.Set("Option", "URL", "x");
  EXPECT_EQ(document.Text(), "; keys without a section\r\nURL=stray\r\n[Option]\r\nURL=x\r\n");
  EXPECT_EQ(document.Get("Option", "URL"), "x");

  IniDocument empty;
  empty.Set("Option", "Template", "a.htm");
  empty.Set("Option", "Template_Single", "b.htm");
  EXPECT_EQ(empty.Text(), "[Option]\nTemplate=a.htm\nTemplate_Single=b.htm\n");
}

TEST(IniWriteTest, AValueCannotAddLines) {
  IniDocument document("[Option]\nBackupfile=1\n");
  document.Set("Option", "URL", "http://a\r\n[Option]\nBackupfile=0");
  EXPECT_EQ(document.Get("Option", "URL"), "http://a");
  EXPECT_EQ(document.Get("Option", "Backupfile"), "1");
  document.Set("Option", "URL", std::string("b\0c", 3));
  EXPECT_EQ(document.Get("Option", "URL"), "b");
}

TEST(IniFileTest, WritesKeysIntoAFileAndReadsThemBack) {
  testing::TempDir folder;
  const std::string path = WriteTo(folder, "option.ini", "; mine\n[Option]\nURL=old\n");
  ASSERT_TRUE(WriteIniKeys(path, "Option", {{"Redirect", "1"}, {"URL", "new"}}));
  EXPECT_EQ(ReadWholeFile(path), "; mine\n[Option]\nURL=new\nRedirect=1\n");
  EXPECT_EQ(ReadIniFile(path).Get("Option", "Redirect"), "1");

  const std::string fresh = folder.File("fresh.ini");
  ASSERT_TRUE(WriteIniKeys(fresh, "Option", {{"URL", "x"}}));
  EXPECT_EQ(ReadWholeFile(fresh), "[Option]\nURL=x\n");
}

TEST(IniFileTest, MissingFileReadsEmpty) {
  testing::TempDir folder;
  EXPECT_EQ(ReadIniFile(folder.File("none.ini")).Text(), "");
}

TEST(IniFileTest, RefusesToReplaceWhatItCannotRead) {
  testing::TempDir folder;
  const std::string path = folder.File("option.ini");
  std::filesystem::create_directory(path);
  std::filesystem::path inside = std::filesystem::path(path) / "keep";
  WriteTo(folder, "option.ini/keep", "x");
  EXPECT_FALSE(WriteIniKeys(path, "Option", {{"URL", "x"}}));
  EXPECT_TRUE(std::filesystem::is_directory(path));
  EXPECT_EQ(ReadWholeFile(inside.string()), "x");
}

}  // namespace
}  // namespace quorvel::platform
