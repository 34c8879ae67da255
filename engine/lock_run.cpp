#include "engine/lock_run.h"

#include <cstring>
#include <vector>

#include "engine/credential_table.h"
#include "engine/encodings.h"
#include "engine/text_page.h"
#include "platform/app_folder.h"
#include "platform/file_system.h"
#include "platform/staged_writes.h"

namespace quorvel {
namespace {

constexpr std::size_t kContentKeyLength = 64;

bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

// The template with the run-wide placeholders filled; every file starts
// from a copy of it.
std::string MakeMasterPage(std::string templateText, const std::string& credentialTable, const LockOptions& options) {
  ReplaceAll(templateText, "%users", credentialTable);
  ReplaceAll(templateText, "%bcookie", options.sessionCookies ? "true" : "false");
  if (options.redirect && !options.redirectUrl.empty()) {
    ReplaceAll(templateText, "%bredirect", "true");
    ReplaceAll(templateText, "%URL", options.redirectUrl);
  } else {
    ReplaceAll(templateText, "%bredirect", "false");
  }
  return templateText;
}

// The master page cut at its "%res" placeholders, so that each file's page
// is put together in one buffer with the payload encoded straight into it.
std::vector<std::string> SplitAtContentPlaceholders(const std::string& masterPage) {
  std::vector<std::string> pieces;
  std::size_t from = 0;
  for (std::size_t found; (found = masterPage.find("%res", from)) != std::string::npos; from = found + 4)
    pieces.push_back(masterPage.substr(from, found - from));
  pieces.push_back(masterPage.substr(from));
  return pieces;
}

std::string ComposePage(const std::vector<std::string>& pieces, const std::string& encrypted) {
  const std::size_t payloadLength = SixBitLength(encrypted.size());
  std::size_t total = (pieces.size() - 1) * payloadLength;
  for (const std::string& piece : pieces) total += piece.size();
  std::string page(total, '\0');
  char* out = page.data();
  const char* firstPayload = nullptr;
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    if (k > 0) {
      if (firstPayload) {
        std::memcpy(out, firstPayload, payloadLength);
      } else {
        EncodeSixBitInto(reinterpret_cast<const unsigned char*>(encrypted.data()), encrypted.size(), out);
        firstPayload = out;
      }
      out += payloadLength;
    }
    std::memcpy(out, pieces[k].data(), pieces[k].size());
    out += pieces[k].size();
  }
  return page;
}

// Refuses a second run started from the caller's event pump while one is
// still going.
class RunningFlag {
 public:
  explicit RunningFlag(bool& flag) : flag_(flag), acquired_(!flag) {
    if (acquired_) flag_ = true;
  }
  ~RunningFlag() {
    if (acquired_) flag_ = false;
  }
  bool acquired() const { return acquired_; }

 private:
  bool& flag_;
  bool acquired_;
};

bool runInProgress = false;

// Reports file `index` of the run, its size looked up at `path` now.
void AppendResultRow(CProjectData& project, RunHost& host, std::size_t index, const std::string& path) {
  FileItem row;
  row.fileName = project.files[index].fileName;
  if (IsTextFilePath(row.fileName)) row.fileName += ".htm";
  row.path = path;
  if (auto found = platform::FindFile(path); found && !found->isDirectory) row.sizeText = SizeText(found->size);
  project.lockedFiles.push_back(row);
  host.AppendResultRow(row);
}

}  // namespace

LockEnvironment DefaultLockEnvironment() { return {platform::ApplicationFolder() + "templates/"}; }

std::string TemplatePath(const CProjectData& project, const std::string& templatesFolder) {
  const std::string& name =
      project.singlePasswordMode ? project.options.singleTemplateName : project.options.templateName;
  if (!IsPlainFileName(name)) return "";
  std::string folder = templatesFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  if (project.singlePasswordMode) folder += "singlepassword/";
  return folder + name;
}

RunOutcome RunLock(CProjectData& project, RunHost& host, const LockEnvironment& environment) {
  RunningFlag running(runInProgress);
  if (!running.acquired()) return RunOutcome::kRefused;

  const bool doubleByte = project.options.doubleByte;
  const bool backupFiles = project.options.backupFiles;

  std::string templatePath = TemplatePath(project, environment.templatesFolder);
  std::optional<std::string> templateFile;
  if (!templatePath.empty()) templateFile = platform::ReadWholeFile(templatePath);
  if (!templateFile) {
    host.ShowMessage("Template file cannot be opened!");
    return RunOutcome::kRefused;
  }
  std::string templateText(UpToFirstZero(*templateFile));

  const std::string contentKey = RandomText(kContentKeyLength);
  std::optional<std::string> credentialTable = BuildCredentialTable(project, contentKey, host);
  if (!credentialTable) return RunOutcome::kRefused;
  const std::vector<std::string> pagePieces =
      SplitAtContentPlaceholders(MakeMasterPage(std::move(templateText), *credentialTable, project.options));
  // Without a place for the content every page would lose it.
  if (pagePieces.size() < 2) {
    host.ShowMessage("The template has no \"%res\" placeholder for the page content!");
    return RunOutcome::kRefused;
  }

  if (project.files.empty()) return RunOutcome::kNoFiles;

  host.ShowProgress();
  host.SetProgressRange(1, static_cast<int>(project.files.size()));
  host.SetProgressPosition(0);
  project.lockedFiles.clear();
  host.ClearResultRows();

  // Pages and backups are written in groups made durable together (see
  // StagedWrites); a group's result rows are reported once it is on disk.
  constexpr std::size_t kGroupBytes = 64 << 20;
  constexpr std::size_t kGroupFiles = 256;
  platform::StagedWrites staged;
  struct PendingRow {
    std::size_t index;
    std::string path;  // where the row's size is looked up
  };
  std::vector<PendingRow> pending;
  auto commitGroup = [&]() {
    staged.Commit();
    for (const PendingRow& row : pending) AppendResultRow(project, host, row.index, row.path);
    pending.clear();
  };

  int progress = 1;
  for (std::size_t i = 0; i < project.files.size(); ++i) {
    const std::string path = project.files[i].path;
    const bool textFile = IsTextFilePath(path);
    const std::string outputPath = textFile ? path + ".htm" : path;
    const std::string backupPath = path + ".bak";
    // A file the current group writes must be read as that group leaves it.
    if (staged.Targets(path) || staged.Targets(outputPath) || staged.Targets(backupPath)) commitGroup();

    bool contentRead = false;
    if (std::optional<std::string> bytes = platform::ReadWholeFile(path); bytes && !bytes->empty()) {
      contentRead = true;
      // A text file stays in place, so its backup must be a copy of its own.
      if (backupFiles && textFile) staged.StageCreateNew(backupPath, *bytes, path);
      std::string content = textFile ? std::string(UpToFirstZero(*bytes)) : std::move(*bytes);
      content.resize(UpToFirstZero(content).size());
      if (textFile) content = WrapTextAsPage(platform::BaseName(path), content);
      if (doubleByte) content = ToCharRefs(content);
      StreamCrypt(reinterpret_cast<const unsigned char*>(contentKey.data()), contentKey.size(),
                  reinterpret_cast<unsigned char*>(content.data()), content.size());
      std::string page = ComposePage(pagePieces, content);
      content = std::string();
      // A file the user made read-only is not overwritten, as opening it
      // for writing would fail.
      const bool outputWritable = !platform::FindFile(outputPath) || platform::IsWritable(outputPath);
      const bool pageStaged = outputWritable && staged.StageReplace(outputPath, page);
      if (backupFiles && !textFile) {
        // The page takes over the file's name, so the file itself can live
        // on as the backup; if the page cannot be written it stays where it
        // is and the backup has to be a copy.
        if (pageStaged) {
          if (!platform::FindFile(backupPath)) staged.StageLinkNew(path, backupPath);
        } else if (auto original = platform::ReadWholeFile(path)) {
          staged.StageCreateNew(backupPath, *original, path);
        }
      }
    }
    pending.push_back({i, contentRead ? outputPath : path});

    host.SetProgressPosition(progress++);
    host.PumpEvents();
    if (staged.stagedBytes() >= kGroupBytes || pending.size() >= kGroupFiles) commitGroup();
  }
  commitGroup();

  host.HideProgress();
  host.AutoSizeResultColumns();
  host.ShowMessage("Lock File(s) successfully!");
  return RunOutcome::kCompleted;
}

}  // namespace quorvel
