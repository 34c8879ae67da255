#include "persist/template_catalogue.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/persist/test_files.h"

namespace quorvel {
namespace {

TEST(TemplateCatalogueTest, ListsTemplateFilesOnlySortedByName) {
  testing::TempDir folder;
  for (const char* name : {"page.shtml", "c.txt", "e.htm.bak", "b.HTML", "xhtm", "a.htm", "Z.Htm"}) {
    WriteTo(folder, name, "<html></html>");
  }
  std::filesystem::create_directory(folder.File("d.htm"));
  WriteTo(folder, std::string(61, 'n') + ".htm", "too long a name to keep");
  WriteTo(folder, "back\\slash.htm", "not a plain name");

  const std::string& f = folder.path();
  EXPECT_EQ(ListTemplatesIn(f), (std::vector<TemplateEntry>{{"Z.Htm", f + "Z.Htm"},
                                                            {"a.htm", f + "a.htm"},
                                                            {"b.HTML", f + "b.HTML"},
                                                            {"page.shtml", f + "page.shtml"},
                                                            {"xhtm", f + "xhtm"}}));
}

TEST(TemplateCatalogueTest, MissingOrEmptyFolderGivesNothing) {
  testing::TempDir folder;
  EXPECT_TRUE(ListTemplatesIn(folder.path()).empty());
  EXPECT_TRUE(ListTemplatesIn(folder.File("missing/")).empty());
}

TEST(TemplateCatalogueTest, FoldersSitBelowTheApplicationFolder) {
  EXPECT_EQ(TemplateFolder(false, "/opt/q/"), "/opt/q/templates/");
  EXPECT_EQ(TemplateFolder(true, "/opt/q/"), "/opt/q/templates/singlepassword/");
}

TEST(TemplateCatalogueTest, UsableNamesStayInsideTheFolder) {
  struct Case {
    std::string name;
    bool usable;
  };
  const Case cases[] = {
      {"default.htm", true},  {"a..b.htm", true},     {std::string(63, 'n'), true},
      {"", false},            {".", false},           {"..", false},
      {"../x.htm", false},    {"sub/x.htm", false},   {"sub\\x.htm", false},
      {std::string(64, 'n'), false}, {std::string("a\0b", 3), false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsUsableTemplateName(c.name), c.usable) << c.name;
}

}  // namespace
}  // namespace quorvel
