#include "persist/settings.h"

#include <climits>
#include <optional>

#include "persist/template_catalogue.h"
#include "platform/app_folder.h"
#include "platform/ini_file.h"

namespace quorvel {
namespace {

constexpr char kSection[] = "Option";
// Values are read into a buffer of 512 characters.
constexpr std::size_t kMaxValueLength = 511;

class SettingsReader {
 public:
  explicit SettingsReader(const std::string& path) : document_(platform::ReadIniFile(path)) {}

  std::string Text(const char* key, std::string_view fallback) const {
    std::optional<std::string> value = document_.Get(kSection, key);
    std::string text = value ? *value : std::string(fallback);
    if (text.size() > kMaxValueLength) text.resize(kMaxValueLength);
    return text;
  }

  int Number(const char* key, std::string_view fallback) const {
    return ParseLeadingInteger(Text(key, fallback));
  }

 private:
  platform::IniDocument document_;
};

std::string FlagText(bool flag) { return flag ? "1" : "0"; }

std::string UsableTemplateName(std::string name) {
  return IsUsableTemplateName(name) ? name : std::string(kDefaultTemplateName);
}

}  // namespace

int ParseLeadingInteger(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;  // clamped below
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

std::string SettingsFilePath() { return platform::ApplicationFolder() + "option.ini"; }

SettingsSnapshot LoadSettings(const std::string& settingsPath) {
  SettingsReader reader(settingsPath);
  SettingsSnapshot snapshot;
  LockOptions& options = snapshot.options;
  options.templateName = UsableTemplateName(reader.Text("Template", kDefaultTemplateName));
  options.singleTemplateName =
      UsableTemplateName(reader.Text("Template_Single", kDefaultTemplateName));
  snapshot.protectionTypeNumber = reader.Number("ProtectionType", "0");
  options.sessionCookies = snapshot.protectionTypeNumber != 0;
  options.doubleByte = reader.Number("Doublebytes", "0") != 0;
  options.backupFiles = reader.Number("Backupfile", "1") != 0;
  options.redirect = reader.Number("Redirect", "0") != 0;
  snapshot.urlText = reader.Text("URL", "");
  options.redirectUrl = snapshot.urlText.substr(0, kMaxRedirectUrl);
  return snapshot;
}

SettingsSnapshot LoadSettings() { return LoadSettings(SettingsFilePath()); }

bool SaveOptionKeys(const std::string& settingsPath, const LockOptions& options,
                    const std::string& urlText) {
  return platform::WriteIniKeys(settingsPath, kSection,
                                {{"ProtectionType", FlagText(options.sessionCookies)},
                                 {"Doublebytes", FlagText(options.doubleByte)},
                                 {"Backupfile", FlagText(options.backupFiles)},
                                 {"Redirect", FlagText(options.redirect)},
                                 {"URL", urlText}});
}

bool SaveOptionKeys(const LockOptions& options, const std::string& urlText) {
  return SaveOptionKeys(SettingsFilePath(), options, urlText);
}

bool SaveTemplateKeys(const std::string& settingsPath, const std::string& templateName,
                      const std::string& singleTemplateName) {
  return platform::WriteIniKeys(settingsPath, kSection,
                                {{"Template", templateName}, {"Template_Single", singleTemplateName}});
}

bool SaveTemplateKeys(const std::string& templateName, const std::string& singleTemplateName) {
  return SaveTemplateKeys(SettingsFilePath(), templateName, singleTemplateName);
}

}  // namespace quorvel
