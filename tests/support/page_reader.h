// Opens a page written with the minimal test template the way a browser
// script would: finds the account, checks the password, unwraps the content
// key and decrypts the payload.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorvel::testing {

struct LockedPage {
  std::vector<std::string> table;  // the flat credential array
  std::string useCookie;           // "true" / "false"
  std::string useRedirect;
  std::string redirectUrl;
  std::string payload;
};

// Pulls the filled placeholders out of a page of the minimal test template.
std::optional<LockedPage> ParseLockedPage(const std::string& page);

// The decrypted content, or empty optional when the credentials are wrong.
std::optional<std::string> OpenLockedPage(const std::string& page, const std::string& userId,
                                          const std::string& password);

// The folder of the minimal test templates, with a trailing '/'.
std::string TestTemplatesFolder();

}  // namespace quorvel::testing
