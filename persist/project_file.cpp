#include "persist/project_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <exception>
#include <optional>

#include "persist/file_lookup.h"
#include "persist/settings.h"
#include "persist/template_catalogue.h"
#include "platform/file_system.h"
#include "platform/secure_random.h"
#include "recorddb/record_table.h"

namespace quorvel {
namespace {

using recorddb::CRecordTable;

struct FieldDeclaration {
  const char* name;
  recorddb::FieldType type;
  int width;  // as stored in the header
};

// The project schema, in declaration order.
constexpr FieldDeclaration kSchema[] = {
    {"id", recorddb::ftAutoInc, 4},
    {"flag", recorddb::ftLong, 4},
    {"filepath", recorddb::ftText, 512},
    {"userid", recorddb::ftText, 128},
    {"password", recorddb::ftText, 128},
    {"email", recorddb::ftText, 64},
    {"notes", recorddb::ftText, 512},
    {"Single", recorddb::ftLong, 4},
    {"Single_password", recorddb::ftText, 128},
    {"protectiontype", recorddb::ftLong, 4},
    {"doublebyte", recorddb::ftLong, 4},
    {"backupfile", recorddb::ftLong, 4},
    {"redirect", recorddb::ftLong, 4},
    {"URL", recorddb::ftText, 128},
    {"template", recorddb::ftText, 64},
    {"template_single", recorddb::ftText, 64},
    {"reserved1", recorddb::ftLong, 4},
    {"reserved2", recorddb::ftLong, 4},
    {"reserved3", recorddb::ftText, 32},
    {"reserved4", recorddb::ftText, 32},
    {"reserved5", recorddb::ftText, 32},
    {"reserved6", recorddb::ftText, 32},
    {"reserved7", recorddb::ftText, 32},
    {"reserved8", recorddb::ftText, 32},
    {"reserved9", recorddb::ftText, 32},
    {"reserved10", recorddb::ftText, 32},
    {"reserved11", recorddb::ftText, 128},
    {"reserved12", recorddb::ftText, 128},
};
constexpr int kSchemaFieldCount = sizeof kSchema / sizeof kSchema[0];
constexpr std::int32_t kSchemaRecordSize = 2276;
constexpr int kIdKey = 0;

constexpr char kFileFlag[] = "1";
constexpr char kUserFlag[] = "2";
constexpr char kPasswordModeFlag[] = "3";
constexpr char kOptionsFlag[] = "4";

// The engine reads at most this many characters of a list text.
constexpr std::size_t kMaxListText = 511;

std::string ListText(const std::string& text) { return text.substr(0, kMaxListText); }
std::string FlagText(bool flag) { return flag ? "1" : "0"; }

bool EqualNoCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
    if (x != y) return false;
  }
  return i == a.size() && b[i] == '\0';
}

// True when the opened table is laid out as a project file: our signature,
// the 28 fields with their types and widths, and the "id" key on field 0.
bool HasProjectSchema(const recorddb::TableHeader& header) {
  if (header.signature != recorddb::kSignature || header.recordSize != kSchemaRecordSize ||
      header.fieldCount != kSchemaFieldCount || header.keyCount < 1 ||
      header.keyKinds[kIdKey] != recorddb::kkUnique || header.keyParts[kIdKey][0].field != 0 ||
      header.recordCount < 0) {
    return false;
  }
  for (int i = 0; i < kSchemaFieldCount; ++i) {
    const auto index = static_cast<std::size_t>(i);
    if (!EqualNoCase(header.fieldNames[index], kSchema[i].name) ||
        header.fieldTypes[index] != kSchema[i].type || header.fieldWidths[index] != kSchema[i].width) {
      return false;
    }
  }
  return true;
}

// Sets the fields of one record and appends it; false on the first refusal.
class RecordWriter {
 public:
  explicit RecordWriter(CRecordTable& table) : table_(table) {}

  RecordWriter& Set(const char* field, const std::string& text) {
    ok_ = ok_ && table_.SetFieldTextByName(text, field);
    return *this;
  }
  bool Append() {
    bool ok = ok_ && table_.Append();
    ok_ = true;
    return ok;
  }

 private:
  CRecordTable& table_;
  bool ok_ = true;
};

bool WriteRecords(CRecordTable& table, const CProjectData& project) {
  RecordWriter writer(table);
  for (const FileItem& file : project.files) {
    if (!writer.Set("flag", kFileFlag).Set("filepath", ListText(file.path)).Append()) return false;
  }
  for (const UserItem& user : project.users) {
    if (!writer.Set("flag", kUserFlag)
             .Set("userid", ListText(user.userId))
             .Set("password", ListText(user.password))
             .Set("email", ListText(user.email))
             .Set("notes", ListText(user.notes))
             .Append()) {
      return false;
    }
  }
  if (!writer.Set("flag", kPasswordModeFlag)
           .Set("Single", FlagText(project.singlePasswordMode))
           .Set("Single_password", project.singlePassword)
           .Append()) {
    return false;
  }
  const LockOptions& options = project.options;
  return writer.Set("flag", kOptionsFlag)
      .Set("Protectiontype", FlagText(options.sessionCookies))
      .Set("Redirect", FlagText(options.redirect))
      .Set("backupfile", FlagText(options.backupFiles))
      .Set("Doublebyte", FlagText(options.doubleByte))
      .Set("URL", options.redirectUrl)
      .Set("template", options.templateName)
      .Set("template_single", options.singleTemplateName)
      .Append();
}

// Creates the table at `path` and writes the whole project into it.
ProjectFileResult WriteTable(const CProjectData& project, const std::string& path) {
  CRecordTable table;
  for (const FieldDeclaration& field : kSchema) {
    if (!table.AddField(field.name, field.type, field.type == recorddb::ftText ? field.width : -1)) {
      return ProjectFileResult::Failure("The project file could not be set up: " + table.GetErrorText());
    }
  }
  if (!table.Create(path)) {
    return ProjectFileResult::Failure("The project file could not be created.");
  }
  if (!WriteRecords(table, project)) {
    return ProjectFileResult::Failure("The project could not be written: " + table.GetErrorText());
  }
  if (!table.Close()) return ProjectFileResult::Failure("The project file could not be closed.");
  return ProjectFileResult::Success();
}

bool FlushToDisk(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

// What a project file holds, gathered before any of it reaches the project.
struct LoadedProject {
  std::vector<FileItem> files;
  std::vector<UserItem> users;
  bool singlePasswordMode = false;
  std::string singlePassword;
  LockOptions options;
};

// Field numbers in the schema's order. A loaded table has passed
// HasProjectSchema, so its fields are numbered exactly so; reading by number
// saves a name look-up per field of thousands of records.
enum Field : int {
  kFieldFlag = 1,
  kFieldFilePath = 2,
  kFieldUserId = 3,
  kFieldPassword = 4,
  kFieldEmail = 5,
  kFieldNotes = 6,
  kFieldSingle = 7,
  kFieldSinglePassword = 8,
  kFieldProtectionType = 9,
  kFieldDoubleByte = 10,
  kFieldBackupFile = 11,
  kFieldRedirect = 12,
  kFieldUrl = 13,
  kFieldTemplate = 14,
  kFieldTemplateSingle = 15,
};

class RecordReader {
 public:
  explicit RecordReader(CRecordTable& table) : table_(table) {}
  std::string Text(Field field) { return table_.GetFieldText(field); }
  bool Flag(Field field) { return ParseLeadingInteger(Text(field)) != 0; }
  FileLookup& files() { return files_; }

 private:
  CRecordTable& table_;
  FileLookup files_;
};

void ApplyRecord(RecordReader& record, LoadedProject& loaded) {
  const std::string flag = record.Text(kFieldFlag);
  if (flag == kFileFlag) {
    std::string path = record.Text(kFieldFilePath);
    std::optional<platform::FileInfo> found = record.files().Find(path);
    if (found && !found->isDirectory) {
      loaded.files.push_back({found->name, SizeText(found->size), std::move(path)});
    }
  } else if (flag == kUserFlag) {
    loaded.users.push_back({record.Text(kFieldUserId), record.Text(kFieldPassword), record.Text(kFieldEmail),
                            record.Text(kFieldNotes)});
  } else if (flag == kPasswordModeFlag) {
    loaded.singlePassword = record.Text(kFieldSinglePassword);
    loaded.singlePasswordMode = record.Flag(kFieldSingle);
  } else if (flag == kOptionsFlag) {
    LockOptions& options = loaded.options;
    options.sessionCookies = record.Flag(kFieldProtectionType);
    options.doubleByte = record.Flag(kFieldDoubleByte);
    options.backupFiles = record.Flag(kFieldBackupFile);
    options.redirect = record.Flag(kFieldRedirect);
    options.redirectUrl = record.Text(kFieldUrl);
    // A name that could reach outside the template folders, or that does
    // not fit the model, is not taken.
    if (std::string name = record.Text(kFieldTemplate); IsUsableTemplateName(name)) {
      options.templateName = std::move(name);
    }
    if (std::string name = record.Text(kFieldTemplateSingle); IsUsableTemplateName(name)) {
      options.singleTemplateName = std::move(name);
    }
  }
}

ProjectFileResult ReadTable(const std::string& path, LoadedProject& loaded) {
  CRecordTable table;
  if (!platform::FindFile(path)) return ProjectFileResult::Failure("The project file does not exist.");
  if (!table.Open(path, recorddb::AccessMode::kReadOnly) || !HasProjectSchema(table.Header())) {
    return ProjectFileResult::Failure("The file is not a Quorvel project file.");
  }
  RecordReader record(table);
  std::int64_t walked = 0;
  for (bool found = table.First(kIdKey); found; found = table.Next(kIdKey)) {
    ++walked;
    ApplyRecord(record, loaded);
  }
  // Every record of a project file is on the "id" key once; a walk that
  // ends early has met a damaged file.
  if (walked != table.Header().recordCount) {
    return ProjectFileResult::Failure("The project file is damaged.");
  }
  table.Close();
  return ProjectFileResult::Success();
}

}  // namespace

ProjectFileResult SaveProject(const CProjectData& project, const std::string& path) {
  const std::string temp =
      platform::FolderOf(path) + "." + platform::BaseName(path) + "." + platform::RandomAlphanumeric(10) + ".tmp";
  ProjectFileResult result;
  try {
    result = WriteTable(project, temp);
  } catch (const std::exception& error) {
    result = ProjectFileResult::Failure(std::string("The project file could not be written: ") + error.what());
  }
  if (result.ok) {
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
      ::chmod(temp.c_str(), existing.st_mode & 07777);
    }
    if (!FlushToDisk(temp) || !platform::RenameFile(temp, path)) {
      result = ProjectFileResult::Failure("The project file could not be replaced.");
    }
  }
  if (!result.ok) ::unlink(temp.c_str());
  return result;
}

ProjectFileResult LoadProject(CProjectData& project, const std::string& path) {
  LoadedProject loaded;
  loaded.singlePasswordMode = project.singlePasswordMode;
  loaded.singlePassword = project.singlePassword;
  loaded.options = project.options;
  try {
    ProjectFileResult result = ReadTable(path, loaded);
    if (!result.ok) return result;
  } catch (const std::exception& error) {
    return ProjectFileResult::Failure(std::string("The project file could not be read: ") + error.what());
  }
  project.files = std::move(loaded.files);
  project.users = std::move(loaded.users);
  project.singlePasswordMode = loaded.singlePasswordMode;
  project.singlePassword = std::move(loaded.singlePassword);
  project.options = std::move(loaded.options);
  return ProjectFileResult::Success();
}

}  // namespace quorvel
