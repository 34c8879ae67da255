#include "engine/credential_table.h"

#include <gtest/gtest.h>

#include "engine/encodings.h"
#include "engine/md5.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

using testing::RecordingHost;

const std::string kKey = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz01";

std::vector<std::string> SplitEntries(const std::string& table) {
  // "new Array(" ... ")" holding quoted texts separated by commas.
  std::vector<std::string> texts;
  std::string body = table.substr(10, table.size() - 11);
  for (std::size_t at = 0; at < body.size();) {
    std::size_t close = body.find('"', at + 1);
    texts.push_back(body.substr(at + 1, close - at - 1));
    at = close + 2;
  }
  return texts;
}

std::string Unwrap(const std::string& wrapped, const std::string& password) {
  std::string key = DecodeSixBit(wrapped);
  std::string wrapping = password + password;
  StreamCrypt(reinterpret_cast<const unsigned char*>(wrapping.data()), wrapping.size(),
              reinterpret_cast<unsigned char*>(key.data()), key.size());
  return key;
}

TEST(CredentialTable, EntryHoldsDigestsAndTheWrappedKey) {
  std::string entry = BuildCredentialEntry("alice", "s3cret", kKey);
  ASSERT_EQ(entry.size(), 158u);
  std::vector<std::string> texts = SplitEntries("new Array(" + entry + ")");
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], Md5Hex("alice"));
  EXPECT_EQ(texts[1].size(), 86u);
  EXPECT_EQ(Unwrap(texts[1], "s3cret"), kKey);
  EXPECT_NE(Unwrap(texts[1], "s3creT"), kKey);
  EXPECT_EQ(texts[2], Md5Hex(Md5Hex("s3cret") + "Qm7trWx2LpZk9vNe4HcY1oBd6uJf3sKaT0g"));
}

TEST(CredentialTable, MultiUserShapeAndOrder) {
  CProjectData project;
  project.users = {{"alice", "pw1", "a@example.org", "first"},
                   {"Alice", "pw1", "", ""},
                   {"alice", "other", "", ""},
                   {"", "", "", ""}};
  RecordingHost host;
  auto table = BuildCredentialTable(project, kKey, host);
  ASSERT_TRUE(table);
  EXPECT_TRUE(host.messages.empty());
  const std::size_t n = project.users.size();
  EXPECT_EQ(table->size(), 10 + 158 * n + (n - 1) + 1);
  EXPECT_EQ(table->rfind("new Array(\"", 0), 0u);
  EXPECT_EQ(table->substr(table->size() - 2), "\")");
  EXPECT_EQ(table->find(",)"), std::string::npos);

  std::vector<std::string> texts = SplitEntries(*table);
  ASSERT_EQ(texts.size(), 3 * n);
  EXPECT_EQ(texts[0], texts[6]);                // same user ID, same digest, not merged
  EXPECT_NE(texts[0], texts[3]);                // case matters
  EXPECT_EQ(texts[1], texts[4]);                // same password, same wrapped key
  EXPECT_EQ(texts[2], texts[5]);
  EXPECT_EQ(texts[9], Md5Hex(""));              // empty user ID is digested like any text
  EXPECT_EQ(Unwrap(texts[10], ""), kKey);       // empty password: identity permutation
  EXPECT_EQ(Unwrap(texts[7], "other"), kKey);
}

TEST(CredentialTable, SinglePasswordModeIgnoresUsers) {
  CProjectData project;
  project.singlePasswordMode = true;
  project.singlePassword = "shared";
  project.users = {{"alice", "pw1", "", ""}};
  RecordingHost host;
  auto table = BuildCredentialTable(project, kKey, host);
  ASSERT_TRUE(table);
  EXPECT_EQ(*table, "new Array(" + BuildCredentialEntry("default", "shared", kKey) + ")");
  EXPECT_EQ(table->size(), 10u + 158u + 1u);
}

TEST(CredentialTable, RefusalsShowTheirMessage) {
  struct Case {
    const char* name;
    bool single;
    std::string singlePassword;
    std::vector<UserItem> users;
    std::string message;
  } cases[] = {
      {"no password", true, "", {{"alice", "pw", "", ""}}, "No password!"},
      {"no users", false, "ignored", {}, "No username/password in the user list!"},
      {"long shared password", true, std::string(129, 'x'), {}, "The password is longer than 128 bytes!"},
      {"long account password",
       false,
       "",
       {{"alice", "ok", "", ""}, {"bob", std::string(129, 'x'), "", ""}},
       "The password of user \"bob\" is longer than 128 bytes!"},
  };
  for (const Case& c : cases) {
    CProjectData project;
    project.singlePasswordMode = c.single;
    project.singlePassword = c.singlePassword;
    project.users = c.users;
    RecordingHost host;
    EXPECT_FALSE(BuildCredentialTable(project, kKey, host)) << c.name;
    EXPECT_EQ(host.messages, std::vector<std::string>{c.message}) << c.name;
  }
}

TEST(CredentialTable, PasswordOfExactly128BytesIsAccepted) {
  CProjectData project;
  std::string password(128, '\xE9');
  project.users = {{"max", password, "", ""}};
  RecordingHost host;
  auto table = BuildCredentialTable(project, kKey, host);
  ASSERT_TRUE(table);
  EXPECT_EQ(Unwrap(SplitEntries(*table)[1], password), kKey);
}

}  // namespace
}  // namespace quorvel
