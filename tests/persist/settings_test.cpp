#include "persist/settings.h"

#include <gtest/gtest.h>

#include <climits>

#include "persist/template_catalogue.h"
#include "platform/file_system.h"
#include "tests/persist/test_files.h"

namespace quorvel {
namespace {

SettingsSnapshot LoadText(const std::string& text) {
  testing::TempDir folder;
  return LoadSettings(WriteTo(folder, "option.ini", text));
}

TEST(SettingsTest, NoFileGivesTheDefaults) {
  testing::TempDir folder;
  SettingsSnapshot snapshot = LoadSettings(folder.File("option.ini"));
  EXPECT_EQ(snapshot.options.templateName, "default.htm");
  EXPECT_EQ(snapshot.options.singleTemplateName, "default.htm");
  EXPECT_FALSE(snapshot.options.sessionCookies);
  EXPECT_FALSE(snapshot.options.doubleByte);
  EXPECT_TRUE(snapshot.options.backupFiles);
  EXPECT_FALSE(snapshot.options.redirect);
  EXPECT_EQ(snapshot.options.redirectUrl, "");
  EXPECT_EQ(snapshot.protectionTypeNumber, 0);
  EXPECT_EQ(snapshot.urlText, "");
}

TEST(SettingsTest, ValuesReadAsTheirKeysSay) {
  SettingsSnapshot snapshot = LoadText(
      "[Option]\n"
      "Template=multi.html\n"
      "template_single = single.htm\n"
      "ProtectionType=1\n"
      "Doublebytes=2\n"
      "Backupfile=0\n"
      "Redirect=1\n"
      "URL=\n");
  EXPECT_EQ(snapshot.options.templateName, "multi.html");
  EXPECT_EQ(snapshot.options.singleTemplateName, "single.htm");
  EXPECT_TRUE(snapshot.options.sessionCookies);
  EXPECT_EQ(snapshot.protectionTypeNumber, 1);
  EXPECT_TRUE(snapshot.options.doubleByte);
  EXPECT_FALSE(snapshot.options.backupFiles);
  EXPECT_TRUE(snapshot.options.redirect);
  EXPECT_EQ(snapshot.options.redirectUrl, "");
}

TEST(SettingsTest, FlagsAreNumbersNotWords) {
  SettingsSnapshot snapshot = LoadText("[Option]\nDoublebytes=yes\nBackupfile=no\nProtectionType= -1x\n");
  EXPECT_FALSE(snapshot.options.doubleByte);
  EXPECT_FALSE(snapshot.options.backupFiles);
  EXPECT_EQ(snapshot.protectionTypeNumber, -1);
  EXPECT_TRUE(snapshot.options.sessionCookies);
}

TEST(SettingsTest, MissingKeyKeepsItsDefaultBesideOtherKeys) {
  SettingsSnapshot snapshot = LoadText("[Option]\nRedirect=1\nURL=http://example.org/\n");
  EXPECT_TRUE(snapshot.options.backupFiles);
  EXPECT_TRUE(snapshot.options.redirect);
  EXPECT_EQ(snapshot.options.redirectUrl, "http://example.org/");
}

TEST(SettingsTest, HandEditedFileReadsSensibly) {
  SettingsSnapshot snapshot = LoadText(
      "\xEF\xBB\xBF"
      "Backupfile=0\r\n"  // before any section: not an option
      "[option]\r\n"
      "  redirect = 1 \r\n"
      "URL = \"http://a.example/\" \r\n"
      "URL=http://second.example/\r\n"
      "Doublebytes\r\n"
      "[Other]\r\n"
      "ProtectionType=1\r\n");
  EXPECT_TRUE(snapshot.options.backupFiles);
  EXPECT_TRUE(snapshot.options.redirect);
  EXPECT_EQ(snapshot.urlText, "http://a.example/");
  EXPECT_FALSE(snapshot.options.doubleByte);
  EXPECT_FALSE(snapshot.options.sessionCookies);
}

TEST(SettingsTest, LongUrlIsSeenUpTo511AndKeptUpTo255) {
  const std::string url = "http://" + std::string(600, 'u');
  SettingsSnapshot snapshot = LoadText("[Option]\nURL=" + url + "\n");
  EXPECT_EQ(snapshot.urlText, url.substr(0, 511));
  EXPECT_EQ(snapshot.options.redirectUrl, url.substr(0, 255));
}

TEST(SettingsTest, TemplateNamesThatLeaveTheFolderOrDoNotFitGiveTheDefault) {
  struct Case {
    std::string value;
    std::string expected;
  };
  const Case cases[] = {
      {"../../../etc/passwd", "default.htm"},
      {"..", "default.htm"},
      {"sub/page.htm", "default.htm"},
      {"sub\\page.htm", "default.htm"},
      {std::string(61, 'n') + ".htm", "default.htm"},
      {std::string(59, 'n') + ".htm", std::string(59, 'n') + ".htm"},
      {"a..b.htm", "a..b.htm"},
  };
  for (const Case& c : cases) {
    SettingsSnapshot snapshot = LoadText("[Option]\nTemplate=" + c.value + "\nTemplate_Single=" + c.value + "\n");
    EXPECT_EQ(snapshot.options.templateName, c.expected) << c.value;
    EXPECT_EQ(snapshot.options.singleTemplateName, c.expected) << c.value;
  }
}

TEST(SettingsTest, ParsesNumbersLikeAtoi) {
  struct Case {
    const char* text;
    int expected;
  };
  const Case cases[] = {
      {"0", 0},          {"1", 1},   {"2", 2},          {"yes", 0},   {"", 0},
      {" \t\n12", 12},   {"+7", 7},  {"-3x", -3},       {"4 5", 4},   {"- 5", 0},
      {"0x10", 0},       {"007", 7}, {"99999999999", INT_MAX}, {"-99999999999", INT_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseLeadingInteger(c.text), c.expected) << c.text;
}

TEST(SettingsTest, OptionChangeRewritesTheFiveKeysAndKeepsTheRest) {
  testing::TempDir folder;
  const std::string path = WriteTo(folder, "option.ini",
                                        "; my own notes\n"
                                        "[Option]\n"
                                        "Template=mine.htm\n"
                                        "Redirect=7\n"
                                        "Extra=kept\n"
                                        "\n"
                                        "[Window]\n"
                                        "Left=10\n");
  LockOptions options;
  options.sessionCookies = true;
  options.doubleByte = false;
  options.backupFiles = false;
  options.redirect = false;
  ASSERT_TRUE(SaveOptionKeys(path, options, "http://typed.example/"));
  EXPECT_EQ(platform::ReadWholeFile(path),
            "; my own notes\n"
            "[Option]\n"
            "Template=mine.htm\n"
            "Redirect=0\n"
            "Extra=kept\n"
            "ProtectionType=1\n"
            "Doublebytes=0\n"
            "Backupfile=0\n"
            "URL=http://typed.example/\n"
            "\n"
            "[Window]\n"
            "Left=10\n");
}

TEST(SettingsTest, SavedKeysReadBack) {
  testing::TempDir folder;
  const std::string path = folder.File("option.ini");
  LockOptions options;
  options.sessionCookies = true;
  options.doubleByte = true;
  options.backupFiles = false;
  options.redirect = true;
  ASSERT_TRUE(SaveOptionKeys(path, options, "http://x/"));
  ASSERT_TRUE(SaveTemplateKeys(path, "multi.htm", "single.html"));
  EXPECT_EQ(platform::ReadWholeFile(path),
            "[Option]\nProtectionType=1\nDoublebytes=1\nBackupfile=0\nRedirect=1\nURL=http://x/\n"
            "Template=multi.htm\nTemplate_Single=single.html\n");

  SettingsSnapshot snapshot = LoadSettings(path);
  options.redirectUrl = "http://x/";
  options.templateName = "multi.htm";
  options.singleTemplateName = "single.html";
  EXPECT_EQ(snapshot.options, options);
  EXPECT_EQ(snapshot.urlText, "http://x/");
}

TEST(SettingsTest, FailedWriteReportsFalse) {
  testing::TempDir folder;
  EXPECT_FALSE(SaveOptionKeys(folder.File("missing-folder/option.ini"), LockOptions{}, ""));
  EXPECT_FALSE(SaveTemplateKeys(folder.File("missing-folder/option.ini"), "a.htm", "b.htm"));
}

}  // namespace
}  // namespace quorvel
