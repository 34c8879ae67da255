#include "engine/user_list_text.h"

namespace quorvel {
namespace {

bool IsTrailingSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string CleanField(std::string_view field) {
  while (!field.empty() && IsTrailingSpace(field.back())) field.remove_suffix(1);
  if (field.size() >= 2 && field.front() == '"' && field.back() == '"') field = field.substr(1, field.size() - 2);
  return std::string(field);
}

std::string QuoteIfNeeded(const std::string& field) {
  return field.find(',') == std::string::npos ? field : "\"" + field + "\"";
}

}  // namespace

std::vector<UserItem> ParseUserListText(std::string_view text) {
  std::vector<UserItem> users;
  std::size_t quotes = 0;
  std::size_t lineStart = 0;
  while (lineStart < text.size()) {
    std::size_t lineEnd = text.find('\n', lineStart);
    std::string_view line = text.substr(lineStart, lineEnd == std::string_view::npos ? std::string_view::npos
                                                                                     : lineEnd - lineStart);
    lineStart = lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    std::vector<std::size_t> separators;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '"') ++quotes;
      else if (line[i] == ',' && quotes % 2 == 0) separators.push_back(i);
    }
    if (separators.empty()) continue;

    std::vector<std::string> fields;
    std::size_t from = 0;
    for (std::size_t separator : separators) {
      fields.push_back(CleanField(line.substr(from, separator - from)));
      from = separator + 1;
    }
    fields.push_back(CleanField(line.substr(from)));

    const std::size_t s = separators.size();
    UserItem user;
    user.userId = fields[0];
    if (s >= 2) user.password = fields[1];
    if (s >= 3) user.email = fields[2];
    user.notes = fields[s];
    if (!user.userId.empty()) users.push_back(std::move(user));
  }
  return users;
}

std::string FormatUserListText(const std::vector<UserItem>& users) {
  std::string text;
  for (const UserItem& user : users) {
    text += QuoteIfNeeded(user.userId) + "," + QuoteIfNeeded(user.password) + "," + QuoteIfNeeded(user.email) + "," +
            QuoteIfNeeded(user.notes) + "\r\n";
  }
  return text;
}

}  // namespace quorvel
