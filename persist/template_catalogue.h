// The page templates: the two folders below the application folder that
// hold them, the list of template files in one folder for the Template
// dialog, and the rule for which names may be used as template names at all.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// The template chosen when the settings name none.
inline constexpr std::string_view kDefaultTemplateName = "default.htm";

// One row of the catalogue.
struct TemplateEntry {
  std::string name;  // the file name as found in the folder
  std::string path;  // the folder followed by the name

  bool operator==(const TemplateEntry&) const = default;
};

// The multi-user folder "templates/" or, when `singlePassword` is set, its
// "singlepassword/" sub-folder, below `applicationFolder` (which ends in
// '/'), with a trailing '/'. Without a folder given, the application folder.
std::string TemplateFolder(bool singlePassword, const std::string& applicationFolder);
std::string TemplateFolder(bool singlePassword);

// The template files of one folder: files (not directories) whose names end
// in "htm" or "html" in any letter case, sorted by name so that the order
// does not depend on the file system. Names that IsUsableTemplateName
// refuses are left out, because they could not be chosen. A missing folder
// gives an empty list.
std::vector<TemplateEntry> ListTemplatesIn(const std::string& folder);
std::vector<TemplateEntry> ListTemplates(bool singlePassword);

// True for a name that can be stored as a template name and that names a
// file inside the template folder: not empty, at most 63 characters, not
// "." or "..", and without a path separator ('/' or '\') or NUL.
bool IsUsableTemplateName(std::string_view name);

}  // namespace quorvel
