#include "tests/support/page_reader.h"

#include "engine/credential_table.h"
#include "engine/encodings.h"
#include "engine/md5.h"

namespace quorvel::testing {
namespace {

std::optional<std::string> Between(const std::string& text, const std::string& before, const std::string& after) {
  std::size_t start = text.find(before);
  if (start == std::string::npos) return std::nullopt;
  start += before.size();
  std::size_t end = text.find(after, start);
  if (end == std::string::npos) return std::nullopt;
  return text.substr(start, end - start);
}

}  // namespace

std::string TestTemplatesFolder() { return std::string(QUORVEL_SOURCE_DIR) + "/tests/fixtures/templates/"; }

std::optional<LockedPage> ParseLockedPage(const std::string& page) {
  LockedPage parsed;
  auto table = Between(page, "var users = new Array(", ");\n");
  auto cookie = Between(page, "var useCookie = ", ";\n");
  auto redirect = Between(page, "var useRedirect = ", ";\n");
  auto url = Between(page, "var redirectUrl = \"", "\";\n");
  auto payload = Between(page, "var payload = \"", "\";\n");
  if (!table || !cookie || !redirect || !url || !payload) return std::nullopt;
  for (std::size_t at = 0; at < table->size();) {
    std::size_t open = table->find('"', at);
    if (open == std::string::npos) break;
    std::size_t close = table->find('"', open + 1);
    if (close == std::string::npos) return std::nullopt;
    parsed.table.push_back(table->substr(open + 1, close - open - 1));
    at = close + 1;
  }
  parsed.useCookie = *cookie;
  parsed.useRedirect = *redirect;
  parsed.redirectUrl = *url;
  parsed.payload = *payload;
  return parsed;
}

std::optional<std::string> OpenLockedPage(const std::string& page, const std::string& userId,
                                          const std::string& password) {
  auto parsed = ParseLockedPage(page);
  if (!parsed || parsed->table.size() % 3 != 0) return std::nullopt;
  const std::string userDigest = Md5Hex(userId);
  const std::string passwordDigest = Md5Hex(Md5Hex(password) + std::string(kCredentialSalt));
  for (std::size_t k = 0; k < parsed->table.size(); k += 3) {
    if (parsed->table[k] != userDigest || parsed->table[k + 2] != passwordDigest) continue;
    std::string key = DecodeSixBit(parsed->table[k + 1]);
    std::string wrapping = password + password;
    StreamCrypt(reinterpret_cast<const unsigned char*>(wrapping.data()), wrapping.size(),
                reinterpret_cast<unsigned char*>(key.data()), key.size());
    std::string content = DecodeSixBit(parsed->payload);
    StreamCrypt(reinterpret_cast<const unsigned char*>(key.data()), key.size(),
                reinterpret_cast<unsigned char*>(content.data()), content.size());
    return content;
  }
  return std::nullopt;
}

}  // namespace quorvel::testing
