#include "engine/md5.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(Md5Hex, Rfc1321TestSuite) {
  struct Case {
    const char* input;
    const char* digest;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const Case& c : cases) EXPECT_EQ(Md5Hex(c.input), c.digest) << '"' << c.input << '"';
}

TEST(Md5Hex, PaddingBoundariesAndHighBytes) {
  // 55, 56 and 64 bytes straddle the one-or-two padding block boundary.
  EXPECT_EQ(Md5Hex(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
  EXPECT_EQ(Md5Hex(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
  EXPECT_EQ(Md5Hex(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
  EXPECT_EQ(Md5Hex(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
  EXPECT_EQ(Md5Hex("caf\xC3\xA9"), "07117fe4a1ebd544965dc19573183da2");
}

TEST(Md5, PiecewiseUpdatesMatchOneShot) {
  std::string data;
  for (int i = 0; i < 300; ++i) data.push_back(static_cast<char>(i));
  for (std::size_t piece : {1u, 3u, 63u, 64u, 65u, 200u}) {
    Md5 md5;
    for (std::size_t at = 0; at < data.size(); at += piece) md5.Update(data.data() + at, std::min(piece, data.size() - at));
    auto digest = md5.Finish();
    std::string hex;
    for (auto byte : digest) {
      char two[3];
      std::snprintf(two, sizeof two, "%02x", byte);
      hex += two;
    }
    EXPECT_EQ(hex, Md5Hex(data)) << piece;
  }
}

}  // namespace
}  // namespace quorvel
