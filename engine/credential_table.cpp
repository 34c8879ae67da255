#include "engine/credential_table.h"

#include "engine/encodings.h"
#include "engine/md5.h"

namespace quorvel {
namespace {

std::string PasswordTooLongMessage(const UserItem* user) {
  if (!user) return "The password is longer than 128 bytes!";
  return "The password of user \"" + user->userId + "\" is longer than 128 bytes!";
}

}  // namespace

std::string BuildCredentialEntry(std::string_view userId, std::string_view password, std::string_view contentKey) {
  std::string wrappingKey;
  wrappingKey.reserve(password.size() * 2);
  wrappingKey.append(password).append(password);
  std::string wrapped(contentKey);
  StreamCrypt(reinterpret_cast<const unsigned char*>(wrappingKey.data()), wrappingKey.size(),
              reinterpret_cast<unsigned char*>(wrapped.data()), wrapped.size());

  std::string saltedInput = Md5Hex(password);
  saltedInput.append(kCredentialSalt);

  std::string entry;
  entry.reserve(160);
  entry += '"';
  entry += Md5Hex(userId);
  entry += "\",\"";
  entry += EncodeSixBit(wrapped);
  entry += "\",\"";
  entry += Md5Hex(saltedInput);
  entry += '"';
  return entry;
}

std::optional<std::string> BuildCredentialTable(const CProjectData& project, std::string_view contentKey,
                                                RunHost& host) {
  if (project.singlePasswordMode) {
    if (project.singlePassword.empty()) {
      host.ShowMessage("No password!");
      return std::nullopt;
    }
    if (project.singlePassword.size() > kMaxPasswordBytes) {
      host.ShowMessage(PasswordTooLongMessage(nullptr));
      return std::nullopt;
    }
    return "new Array(" + BuildCredentialEntry(kSinglePasswordUserId, project.singlePassword, contentKey) + ")";
  }

  if (project.users.empty()) {
    host.ShowMessage("No username/password in the user list!");
    return std::nullopt;
  }
  // Every password is checked before any entry is built, so a refusal
  // never leaves part of a table behind.
  for (const UserItem& user : project.users) {
    if (user.password.size() > kMaxPasswordBytes) {
      host.ShowMessage(PasswordTooLongMessage(&user));
      return std::nullopt;
    }
  }
  std::string table = "new Array(";
  for (std::size_t i = 0; i < project.users.size(); ++i) {
    if (i > 0) table += ',';
    table += BuildCredentialEntry(project.users[i].userId, project.users[i].password, contentKey);
  }
  table += ')';
  return table;
}

}  // namespace quorvel
