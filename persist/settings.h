// The settings file "option.ini" beside the executable: the protection
// options and the two template names that outlive a run of the tool. Read
// once when the options are first shown; the five option keys are written on
// every change of an option, the two template keys when templates are chosen.
// Loading a project never writes this file.
#pragma once

#include <string>

#include "engine/project_data.h"

namespace quorvel {

// What one reading of the settings file yields.
struct SettingsSnapshot {
  LockOptions options;
  // The "ProtectionType" value as a number: 0 selects "No cookies", 1
  // "Session cookies".
  int protectionTypeNumber = 0;
  // The "URL" value as read (at most 511 characters), for the URL box;
  // options.redirectUrl holds its first 255 characters.
  std::string urlText;
};

// The application folder followed by "option.ini".
std::string SettingsFilePath();

// Reads the file; a missing file, section or key gives that key's default.
// A template name that IsUsableTemplateName refuses gives the default name.
SettingsSnapshot LoadSettings(const std::string& settingsPath);
SettingsSnapshot LoadSettings();

// Writes "ProtectionType", "Doublebytes", "Backupfile", "Redirect" (each "0"
// or "1") and "URL" (`urlText`, the whole text of the URL box) into section
// "Option", keeping the rest of the file. False when the file could not be
// written; callers may ignore it, the options in memory stay as they are.
bool SaveOptionKeys(const std::string& settingsPath, const LockOptions& options,
                    const std::string& urlText);
bool SaveOptionKeys(const LockOptions& options, const std::string& urlText);

// Writes "Template" and then "Template_Single".
bool SaveTemplateKeys(const std::string& settingsPath, const std::string& templateName,
                      const std::string& singleTemplateName);
bool SaveTemplateKeys(const std::string& templateName, const std::string& singleTemplateName);

// The number at the start of `text` as the C library's atoi reads it:
// leading white space and a sign are accepted, reading stops at the first
// other character, and text without leading digits gives 0. Values beyond
// the range of int are clamped to it.
int ParseLeadingInteger(const std::string& text);

}  // namespace quorvel
