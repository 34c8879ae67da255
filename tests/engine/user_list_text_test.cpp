#include "engine/user_list_text.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(ParseUserListText, WorkedLines) {
  struct Case {
    std::string line;
    std::vector<UserItem> expected;
  } cases[] = {
      {"alice,pw1,mail1,note1", {{"alice", "pw1", "mail1", "note1"}}},
      {"alice,pw1", {{"alice", "", "", "pw1"}}},
      {"alice,pw1,mail1", {{"alice", "pw1", "", "mail1"}}},
      {"alice,pw1,mail1,x,note1", {{"alice", "pw1", "mail1", "note1"}}},
      {"bob  ,pw2  ,m,n", {{"bob", "pw2", "m", "n"}}},
      {"  carol,pw,m,n \r", {{"  carol", "pw", "m", "n"}}},
      {"alice", {}},
      {",pw1,mail1,note1", {}},
      {"\"smith, john\",pw1,,", {{"smith, john", "pw1", "", ""}}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseUserListText(c.line), c.expected) << c.line;
}

TEST(ParseUserListText, OddQuoteCountCarriesAcrossLines) {
  std::string text =
      "a,pw,m,say \"hi\r\n"   // one quote: count now odd
      "b,pw,m,n\r\n"          // ignored: no comma separates
      "c,pw,m,\"\r\n"         // the quote makes the count even again after it
      "d,pw,m,n";             // last line without a line end
  std::vector<UserItem> users = ParseUserListText(text);
  ASSERT_EQ(users.size(), 2u);
  EXPECT_EQ(users[0], (UserItem{"a", "pw", "m", "say \"hi"}));
  EXPECT_EQ(users[1], (UserItem{"d", "pw", "m", "n"}));
}

TEST(UserListText, ExportThenImportGivesTheSameRows) {
  std::vector<UserItem> users = {{"alice", "pw,1", "a@example.org", "first, second"},
                                 {"b\xC3\xA9", "", "", ""},
                                 {"  lead", "pw", "m", "n"}};
  std::string text = FormatUserListText(users);
  EXPECT_EQ(text.substr(0, text.find('\n') + 1), "alice,\"pw,1\",a@example.org,\"first, second\"\r\n");
  EXPECT_EQ(ParseUserListText(text), users);
}

}  // namespace
}  // namespace quorvel
