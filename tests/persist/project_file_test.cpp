#include "persist/project_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>

#include "engine/lock_run.h"
#include "platform/file_system.h"
#include "recorddb/record_table.h"
#include "tests/persist/test_files.h"

namespace quorvel {
namespace {

using recorddb::CRecordTable;

struct FieldDeclaration {
  const char* name;
  int type;
  int width;
};

// The project schema as a project file must declare it, in order.
const FieldDeclaration kProjectSchema[] = {
    {"id", recorddb::ftAutoInc, 4},        {"flag", recorddb::ftLong, 4},
    {"filepath", recorddb::ftText, 512},   {"userid", recorddb::ftText, 128},
    {"password", recorddb::ftText, 128},   {"email", recorddb::ftText, 64},
    {"notes", recorddb::ftText, 512},      {"Single", recorddb::ftLong, 4},
    {"Single_password", recorddb::ftText, 128}, {"protectiontype", recorddb::ftLong, 4},
    {"doublebyte", recorddb::ftLong, 4},   {"backupfile", recorddb::ftLong, 4},
    {"redirect", recorddb::ftLong, 4},     {"URL", recorddb::ftText, 128},
    {"template", recorddb::ftText, 64},    {"template_single", recorddb::ftText, 64},
    {"reserved1", recorddb::ftLong, 4},    {"reserved2", recorddb::ftLong, 4},
    {"reserved3", recorddb::ftText, 32},   {"reserved4", recorddb::ftText, 32},
    {"reserved5", recorddb::ftText, 32},   {"reserved6", recorddb::ftText, 32},
    {"reserved7", recorddb::ftText, 32},   {"reserved8", recorddb::ftText, 32},
    {"reserved9", recorddb::ftText, 32},   {"reserved10", recorddb::ftText, 32},
    {"reserved11", recorddb::ftText, 128}, {"reserved12", recorddb::ftText, 128},
};

using Record = std::map<std::string, std::string>;

// Writes a table with the project schema and the given records, the way
// another writer (or a damaged tool) might have made it.
void WriteProjectTable(const std::string& path, const std::vector<Record>& records) {
  CRecordTable table;
  for (const FieldDeclaration& field : kProjectSchema) ASSERT_TRUE(table.AddField(field.name, field.type, field.width));
  ASSERT_TRUE(table.Create(path));
  for (const Record& record : records) {
    for (const auto& [name, text] : record) ASSERT_TRUE(table.SetFieldTextByName(text, name));
    ASSERT_TRUE(table.Append());
  }
  ASSERT_TRUE(table.Close());
}

// Every record of a project file in "id" order, as texts by field name.
std::vector<Record> ReadRecords(const std::string& path) {
  std::vector<Record> records;
  CRecordTable table;
  EXPECT_TRUE(table.Open(path, recorddb::AccessMode::kReadOnly));
  for (bool found = table.First(0); found; found = table.Next(0)) {
    Record record;
    for (const FieldDeclaration& field : kProjectSchema) record[field.name] = table.GetFieldTextByName(field.name);
    records.push_back(record);
  }
  return records;
}

std::int32_t Int32At(const std::string& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[offset + static_cast<std::size_t>(i)]);
  return static_cast<std::int32_t>(value);
}

std::int16_t Int16At(const std::string& bytes, std::size_t offset) {
  return static_cast<std::int16_t>(static_cast<unsigned char>(bytes[offset]) |
                                   (static_cast<unsigned char>(bytes[offset + 1]) << 8));
}

class ProjectFileTest : public ::testing::Test {
 protected:
  std::string MakeFile(const std::string& name, std::size_t size) {
    return testing::WriteTo(dir_, name, std::string(size, 'x'));
  }

  CProjectData SampleProject() {
    CProjectData project;
    project.files.push_back(MakeFileItem(MakeFile("a.htm", 10)));
    project.files.push_back(MakeFileItem(MakeFile("b.html", 1024)));
    project.files.push_back(MakeFileItem(MakeFile("c.txt", 3000)));
    project.users.push_back({"alice", "s3cret", "alice@example.org", "first user"});
    project.users.push_back({"bob", "", "", "no password"});
    project.singlePasswordMode = true;
    project.singlePassword = "shared";
    project.options.sessionCookies = true;
    project.options.doubleByte = true;
    project.options.backupFiles = false;
    project.options.redirect = true;
    project.options.redirectUrl = "http://example.org/denied";
    project.options.templateName = "multi.htm";
    project.options.singleTemplateName = "single.htm";
    return project;
  }

  testing::TempDir dir_;
};

TEST_F(ProjectFileTest, EmptyProjectIsTheHeaderTwoRecordsAndOneNode) {
  const std::string path = dir_.File("empty.qvp");
  ASSERT_TRUE(SaveProject(CProjectData{}, path).ok);
  const std::string bytes = testing::ReadFile(path);

  // A record with every text empty: the length word, nine 4-byte numbers and
  // nineteen 2-byte text lengths.
  const std::size_t kEmptyRecord = 2 + 9 * 4 + 19 * 2;
  ASSERT_EQ(bytes.size(), 15472 + 2 * kEmptyRecord + 2432);
  EXPECT_EQ(bytes.substr(0, 22), std::string("Vyrd,Signature_Tavrin\0", 22));
  EXPECT_EQ(Int32At(bytes, 32), 2276);   // record size
  EXPECT_EQ(Int32At(bytes, 36), 2);      // record count
  EXPECT_EQ(Int16At(bytes, 4648), 28);   // field count
  EXPECT_EQ(Int16At(bytes, 15250), 1);   // key count
  EXPECT_EQ(bytes[15382], '\0');         // no description
  // The first record follows the header: password mode off, id 1, flag 3.
  EXPECT_EQ(Int16At(bytes, 15472), static_cast<std::int16_t>(kEmptyRecord));
  EXPECT_EQ(Int32At(bytes, 15474), 1);
  EXPECT_EQ(Int32At(bytes, 15478), 3);

  std::vector<Record> records = ReadRecords(path);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0]["id"], "1");
  EXPECT_EQ(records[0]["flag"], "3");
  EXPECT_EQ(records[0]["Single"], "0");
  EXPECT_EQ(records[1]["id"], "2");
  EXPECT_EQ(records[1]["flag"], "4");
  EXPECT_EQ(records[1]["backupfile"], "1");
}

TEST_F(ProjectFileTest, DeclaresTheFixedSchemaInOrder) {
  const std::string path = dir_.File("schema.qvp");
  ASSERT_TRUE(SaveProject(CProjectData{}, path).ok);
  CRecordTable table;
  ASSERT_TRUE(table.Open(path, recorddb::AccessMode::kReadOnly));
  const recorddb::TableHeader& header = table.Header();
  ASSERT_EQ(header.fieldCount, 28);
  for (int i = 0; i < 28; ++i) {
    const auto n = static_cast<std::size_t>(i);
    EXPECT_EQ(header.fieldNames[n], kProjectSchema[i].name);
    EXPECT_EQ(header.fieldTypes[n], kProjectSchema[i].type) << kProjectSchema[i].name;
    EXPECT_EQ(header.fieldWidths[n], kProjectSchema[i].width) << kProjectSchema[i].name;
  }
  ASSERT_EQ(header.keyCount, 1);
  EXPECT_EQ(header.keyNames[0], "id");
  EXPECT_EQ(header.keyKinds[0], recorddb::kkUnique);
  EXPECT_EQ(header.keyParts[0][0].field, 0);
}

TEST_F(ProjectFileTest, WritesFilesThenUsersThenModeThenOptions) {
  const std::string path = dir_.File("sample.qvp");
  const CProjectData project = SampleProject();
  ASSERT_TRUE(SaveProject(project, path).ok);

  std::vector<Record> records = ReadRecords(path);
  ASSERT_EQ(records.size(), 7u);
  const char* flags[] = {"1", "1", "1", "2", "2", "3", "4"};
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i]["id"], std::to_string(i + 1));
    EXPECT_EQ(records[i]["flag"], flags[i]) << "record " << i + 1;
    // Reserved fields are never set.
    EXPECT_EQ(records[i]["reserved1"], "0");
    EXPECT_EQ(records[i]["reserved12"], "");
  }
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(records[i]["filepath"], project.files[i].path);
    EXPECT_EQ(records[i]["userid"], "");
    EXPECT_EQ(records[i]["protectiontype"], "0");
  }
  EXPECT_EQ(records[3]["userid"], "alice");
  EXPECT_EQ(records[3]["password"], "s3cret");
  EXPECT_EQ(records[3]["email"], "alice@example.org");
  EXPECT_EQ(records[3]["notes"], "first user");
  EXPECT_EQ(records[3]["filepath"], "");
  EXPECT_EQ(records[4]["userid"], "bob");
  EXPECT_EQ(records[5]["Single"], "1");
  EXPECT_EQ(records[5]["Single_password"], "shared");
  EXPECT_EQ(records[5]["userid"], "");
  EXPECT_EQ(records[6]["protectiontype"], "1");
  EXPECT_EQ(records[6]["doublebyte"], "1");
  EXPECT_EQ(records[6]["backupfile"], "0");
  EXPECT_EQ(records[6]["redirect"], "1");
  EXPECT_EQ(records[6]["URL"], "http://example.org/denied");
  EXPECT_EQ(records[6]["template"], "multi.htm");
  EXPECT_EQ(records[6]["template_single"], "single.htm");
  EXPECT_EQ(records[6]["Single"], "0");
}

TEST_F(ProjectFileTest, LoadGivesBackTheSavedProject) {
  const std::string path = dir_.File("sample.qvp");
  const CProjectData saved = SampleProject();
  ASSERT_TRUE(SaveProject(saved, path).ok);

  CProjectData loaded;
  loaded.files.push_back(MakeFileItem(MakeFile("old.htm", 1)));
  loaded.users.push_back({"old", "old", "", ""});
  loaded.lockedFiles.push_back({"kept.htm", "1 KB", "/kept.htm"});
  ProjectFileResult result = LoadProject(loaded, path);
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_EQ(loaded.files, saved.files);
  EXPECT_EQ(loaded.files[1].sizeText, "2 KB");
  EXPECT_EQ(loaded.users, saved.users);
  EXPECT_TRUE(loaded.singlePasswordMode);
  EXPECT_EQ(loaded.singlePassword, "shared");
  EXPECT_EQ(loaded.options, saved.options);
  ASSERT_EQ(loaded.lockedFiles.size(), 1u);
  EXPECT_EQ(loaded.lockedFiles[0].fileName, "kept.htm");
}

TEST_F(ProjectFileTest, FilesAreLookedUpOnDiskWhenLoading) {
  const std::string path = dir_.File("files.qvp");
  CProjectData project;
  for (const char* name : {"one.htm", "gone.htm", "three.htm"}) project.files.push_back(MakeFileItem(MakeFile(name, 5)));
  ASSERT_TRUE(SaveProject(project, path).ok);
  std::filesystem::remove(dir_.File("gone.htm"));
  MakeFile("three.htm", 5000);

  CProjectData loaded;
  ASSERT_TRUE(LoadProject(loaded, path).ok);
  ASSERT_EQ(loaded.files.size(), 2u);
  EXPECT_EQ(loaded.files[0], (FileItem{"one.htm", "1 KB", dir_.File("one.htm")}));
  EXPECT_EQ(loaded.files[1], (FileItem{"three.htm", "5 KB", dir_.File("three.htm")}));
}

TEST_F(ProjectFileTest, TextsAreCutToTheirFieldWidths) {
  const std::string path = dir_.File("long.qvp");
  CProjectData project;
  project.files.push_back({"x", "", std::string(600, 'p')});
  project.users.push_back({std::string(200, 'u'), std::string(200, 'w'), std::string(100, 'e'), std::string(600, 'n')});
  project.singlePassword = std::string(200, 's');
  project.options.redirectUrl = std::string(200, 'r');
  project.options.templateName = std::string(70, 't');
  project.options.singleTemplateName = std::string(70, 'v');
  ASSERT_TRUE(SaveProject(project, path).ok);

  std::vector<Record> records = ReadRecords(path);
  ASSERT_EQ(records.size(), 4u);
  struct Case {
    std::size_t record;
    const char* field;
    std::size_t length;
  } cases[] = {
      {0, "filepath", 511}, {1, "userid", 128},  {1, "password", 128}, {1, "email", 64},
      {1, "notes", 511},    {2, "Single_password", 128}, {3, "URL", 128},
      {3, "template", 64},  {3, "template_single", 64},
  };
  for (const Case& c : cases) EXPECT_EQ(records[c.record][c.field].size(), c.length) << c.field;

  CProjectData loaded;
  loaded.options.templateName = "current.htm";
  ASSERT_TRUE(LoadProject(loaded, path).ok);
  ASSERT_EQ(loaded.users.size(), 1u);
  EXPECT_EQ(loaded.users[0].userId, std::string(128, 'u'));
  EXPECT_EQ(loaded.singlePassword, std::string(128, 's'));
  // A 64-character template name does not fit the model: the current one stays.
  EXPECT_EQ(loaded.options.templateName, "current.htm");
}

TEST_F(ProjectFileTest, LoadedOptionsDriveTheNextLockRun) {
  for (bool savedBackups : {false, true}) {
    testing::TempDir site;
    const std::string page = testing::WriteTo(site, "page.htm", "<p>secret</p>");
    testing::WriteTo(site, "default.htm", "<html>%users %bcookie %res</html>");

    CProjectData saved;
    saved.files.push_back(MakeFileItem(page));
    saved.users.push_back({"alice", "pw", "", ""});
    saved.options.backupFiles = savedBackups;
    saved.options.templateName = saved.options.singleTemplateName = "default.htm";
    const std::string path = site.File("p.qvp");
    ASSERT_TRUE(SaveProject(saved, path).ok);

    CProjectData current;
    current.options.backupFiles = !savedBackups;
    ASSERT_TRUE(LoadProject(current, path).ok);
    testing::RecordingHost host;
    ASSERT_EQ(RunLock(current, host, LockEnvironment{site.path()}), RunOutcome::kCompleted);
    EXPECT_EQ(testing::Exists(page + ".bak"), savedBackups);
    EXPECT_NE(testing::ReadFile(page), "<p>secret</p>");
  }
}

// Everything a load may change, so that "changed nothing" can be checked.
void ExpectSameProject(const CProjectData& a, const CProjectData& b) {
  EXPECT_EQ(a.files, b.files);
  EXPECT_EQ(a.users, b.users);
  EXPECT_EQ(a.singlePasswordMode, b.singlePasswordMode);
  EXPECT_EQ(a.singlePassword, b.singlePassword);
  EXPECT_EQ(a.options, b.options);
  EXPECT_EQ(a.lockedFiles, b.lockedFiles);
}

TEST_F(ProjectFileTest, FilesThatAreNoProjectChangeNothing) {
  const std::string good = dir_.File("good.qvp");
  ASSERT_TRUE(SaveProject(SampleProject(), good).ok);
  const std::string goodBytes = testing::ReadFile(good);

  // A table file of another schema.
  const std::string other = dir_.File("other.tbl");
  {
    CRecordTable table;
    ASSERT_TRUE(table.AddField("id", recorddb::ftAutoInc, -1));
    ASSERT_TRUE(table.AddField("name", recorddb::ftText, 40));
    ASSERT_TRUE(table.Create(other));
    ASSERT_TRUE(table.SetFieldTextByName("1", "name"));
    ASSERT_TRUE(table.Append());
    ASSERT_TRUE(table.Close());
  }
  std::string foreignSignature = goodBytes;
  foreignSignature.replace(0, 4, "Xyrd");

  struct Case {
    const char* label;
    std::string path;
  } cases[] = {
      {"missing", dir_.File("missing.qvp")},
      {"short text file", testing::WriteTo(dir_, "notes.txt", "just some text\n")},
      {"large foreign file", testing::WriteTo(dir_, "zeros.bin", std::string(40000, '\0'))},
      {"other schema", other},
      {"foreign signature", testing::WriteTo(dir_, "foreign.qvp", foreignSignature)},
      {"cut into its key", testing::WriteTo(dir_, "cut.qvp", goodBytes.substr(0, goodBytes.size() - 2500))},
      {"last record cut", testing::WriteTo(dir_, "cutrecord.qvp", goodBytes.substr(0, goodBytes.size() - 10))},
      {"folder", dir_.path()},
  };
  for (const Case& c : cases) {
    CProjectData project = SampleProject();
    project.lockedFiles.push_back({"l.htm", "1 KB", "/l.htm"});
    const CProjectData before = project;
    ProjectFileResult result = LoadProject(project, c.path);
    EXPECT_FALSE(result.ok) << c.label;
    EXPECT_FALSE(result.message.empty()) << c.label;
    ExpectSameProject(project, before);
  }
}

TEST_F(ProjectFileTest, RecordsApplyInOrderAndUnknownKindsAreIgnored) {
  const std::string path = dir_.File("crafted.qvp");
  const std::string page = MakeFile("p.htm", 1);
  WriteProjectTable(path, {
                              {{"flag", "3"}, {"Single", "1"}, {"Single_password", "first"}},
                              {{"flag", "9"}, {"userid", "ignored"}},
                              {{"flag", "1"}, {"filepath", page}},
                              {{"flag", "4"}, {"backupfile", "0"}, {"template", "one.htm"}},
                              {{"flag", "3"}, {"Single", "0"}, {"Single_password", "second"}},
                              {{"flag", "4"},
                               {"backupfile", "5"},
                               {"redirect", "-1"},
                               {"template", "../../etc/passwd"},
                               {"template_single", "s.htm"}},
                          });
  CProjectData project;
  project.options.templateName = "current.htm";
  ASSERT_TRUE(LoadProject(project, path).ok);
  ASSERT_EQ(project.files.size(), 1u);
  EXPECT_TRUE(project.users.empty());
  EXPECT_FALSE(project.singlePasswordMode);
  EXPECT_EQ(project.singlePassword, "second");
  EXPECT_TRUE(project.options.backupFiles);
  EXPECT_TRUE(project.options.redirect);
  // The unsafe name of the last options record leaves the one before it.
  EXPECT_EQ(project.options.templateName, "one.htm");
  EXPECT_EQ(project.options.singleTemplateName, "s.htm");
}

TEST_F(ProjectFileTest, TableWithoutRecordsEmptiesOnlyTheLists) {
  const std::string path = dir_.File("norecords.qvp");
  WriteProjectTable(path, {});
  CProjectData project = SampleProject();
  const CProjectData before = project;
  ASSERT_TRUE(LoadProject(project, path).ok);
  EXPECT_TRUE(project.files.empty());
  EXPECT_TRUE(project.users.empty());
  EXPECT_EQ(project.singlePasswordMode, before.singlePasswordMode);
  EXPECT_EQ(project.singlePassword, before.singlePassword);
  EXPECT_EQ(project.options, before.options);
}

TEST_F(ProjectFileTest, SavingReplacesTheOldFileWhole) {
  const std::string path = dir_.File("p.qvp");
  ASSERT_TRUE(SaveProject(SampleProject(), path).ok);
  ASSERT_TRUE(SaveProject(CProjectData{}, path).ok);
  EXPECT_EQ(ReadRecords(path).size(), 2u);
  EXPECT_EQ(testing::ReadFile(path).size(), 15472u + 2 * 76 + 2432);
}

TEST_F(ProjectFileTest, FailedSaveLeavesWhatWasThere) {
  // A folder where the project should go cannot be replaced.
  const std::string target = dir_.File("taken.qvp");
  std::filesystem::create_directory(target);
  testing::WriteTo(dir_, "taken.qvp/inside", "kept");
  ProjectFileResult result = SaveProject(SampleProject(), target);
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.message.empty());
  EXPECT_EQ(testing::ReadFile(target + "/inside"), "kept");

  EXPECT_FALSE(SaveProject(SampleProject(), dir_.File("no/such/folder.qvp")).ok);

  // No temporary file is left behind by either failure.
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    EXPECT_FALSE(entry.path().filename().string().ends_with(".tmp")) << entry.path();
  }
}

}  // namespace
}  // namespace quorvel
