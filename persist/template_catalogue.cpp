#include "persist/template_catalogue.h"

#include <algorithm>

#include "engine/project_data.h"
#include "platform/app_folder.h"
#include "platform/file_system.h"

namespace quorvel {
namespace {

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  text.remove_prefix(text.size() - suffix.size());
  return std::equal(text.begin(), text.end(), suffix.begin(), [](char a, char b) {
    return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b;
  });
}

// Only the end of the name counts: "page.shtml" and "xhtm" are templates,
// "page.htm.bak" is not.
bool HasTemplateEnding(std::string_view name) {
  return EndsWithNoCase(name, "htm") || EndsWithNoCase(name, "html");
}

}  // namespace

std::string TemplateFolder(bool singlePassword, const std::string& applicationFolder) {
  std::string folder = applicationFolder + "templates/";
  if (singlePassword) folder += "singlepassword/";
  return folder;
}

std::string TemplateFolder(bool singlePassword) {
  return TemplateFolder(singlePassword, platform::ApplicationFolder());
}

bool IsUsableTemplateName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxTemplateName && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

std::vector<TemplateEntry> ListTemplatesIn(const std::string& folder) {
  std::vector<TemplateEntry> entries;
  for (const platform::FileInfo& info : platform::ListFolder(folder)) {
    if (info.isDirectory || !HasTemplateEnding(info.name) || !IsUsableTemplateName(info.name)) {
      continue;
    }
    entries.push_back({info.name, folder + info.name});
  }
  std::sort(entries.begin(), entries.end(),
            [](const TemplateEntry& a, const TemplateEntry& b) { return a.name < b.name; });
  return entries;
}

std::vector<TemplateEntry> ListTemplates(bool singlePassword) {
  return ListTemplatesIn(TemplateFolder(singlePassword));
}

}  // namespace quorvel
