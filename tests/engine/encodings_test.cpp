#include "engine/encodings.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace quorvel {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

std::string Crypt(std::string key, std::string data) {
  StreamCrypt(reinterpret_cast<const unsigned char*>(key.data()), key.size(),
              reinterpret_cast<unsigned char*>(data.data()), data.size());
  return data;
}

TEST(EncodeSixBit, KnownVectors) {
  struct Case {
    std::string input, expected;
  } cases[] = {
      {"", ""},
      {"a", "hB"},
      {"ab", "hJG"},
      {"abc", "hJ2Y"},
      {"abcd", "hJ2YkB"},
      {Bytes({0xFF}), "/D"},
      {Bytes({0, 0, 0}), "AAAA"},
      {Bytes({0xFF, 0xFF, 0xFF}), "////"},
      {Bytes({'a', 0, 'b'}), "hBgY"},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeSixBit(c.input), c.expected) << "input size " << c.input.size();
}

TEST(EncodeSixBit, LengthAndRoundTripForEveryTailAndEveryByte) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  // Long enough to pass through the wide loop and every tail after it.
  for (std::size_t n = 0; n <= all.size(); ++n) {
    std::string input = all.substr(0, n);
    std::string text = EncodeSixBit(input);
    const std::size_t tailCharacters[] = {0, 2, 3};
    EXPECT_EQ(text.size(), 4 * (n / 3) + tailCharacters[n % 3]);
    EXPECT_EQ(text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"),
              std::string::npos);
    EXPECT_EQ(DecodeSixBit(text), input) << n;
  }
}

TEST(StreamCrypt, EmptyKeyKeepsIdentityPermutation) {
  EXPECT_EQ(Crypt("", "abc"), Bytes({0x61, 0x60, 0x66}));
  EXPECT_EQ(Crypt("", std::string(3, '\0')), Bytes({0x00, 0x02, 0x05}));
  EXPECT_EQ(Crypt("key", ""), "");
}

// Keystreams worked out by hand from the cipher's definition. The second
// case tells a backwards key walk from a forward one (that would give 01),
// and both differ from textbook RC4.
TEST(StreamCrypt, HandComputedKeystreams) {
  EXPECT_EQ(Crypt(Bytes({0x01}), std::string(3, '\0')), Bytes({0x01, 0x03, 0x04}));
  EXPECT_EQ(Crypt(Bytes({0x01, 0x00}), std::string(1, '\0')), Bytes({0x02}));
  EXPECT_EQ(Crypt(Bytes({0xE9}), std::string(1, '\0')), Bytes({0xE9}));
}

TEST(StreamCrypt, AppliedTwiceRestoresDataForAllKeyLengths) {
  std::string data;
  for (int i = 0; i < 1000; ++i) data.push_back(static_cast<char>(i * 7));
  for (std::size_t keyLength : {0u, 1u, 64u, 255u, 256u}) {
    std::string key(keyLength, '\0');
    for (std::size_t i = 0; i < keyLength; ++i) key[i] = static_cast<char>(0x80 + i);
    std::string once = Crypt(key, data);
    EXPECT_NE(once, data);
    EXPECT_EQ(Crypt(key, once), data) << keyLength;
  }
}

TEST(ToCharRefs, ConvertsCharactersAboveNoBreakSpace) {
  struct Case {
    std::string input, expected;
  } cases[] = {
      {"", ""},
      {"plain <b>ASCII</b> & text\n", "plain <b>ASCII</b> & text\n"},
      {"caf\xC3\xA9", "caf&#233;"},
      {"\xC2\xA0", "\xC2\xA0"},                // U+00A0 stays a character
      {"\xC2\xA1", "&#161;"},                  // U+00A1 is the first reference
      {"\xE4\xBD\xA0\xE5\xA5\xBD", "&#20320;&#22909;"},
      {"\xF0\x9F\x98\x80", "&#128512;"},       // one reference, not two halves
      {"a\xFF" "b", "a&#65533;b"},             // invalid byte
      {"\xE4\xBD", "&#65533;"},                // truncated sequence
      {"\xED\xA0\x80", "&#65533;&#65533;&#65533;"},  // encoded surrogate
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) EXPECT_EQ(ToCharRefs(c.input), c.expected) << c.input;
}

TEST(ToCharRefs, ResultDoesNotDependOnInputSize) {
  std::string unit = "Gr\xC3\xBC\xC3\x9F" "e \xE4\xBD\xA0 ok ";
  std::string text;
  while (text.size() < 51199) text += unit;
  text.resize(51199 - 3);
  text += "end";
  std::string small = ToCharRefs(text);
  std::string large = ToCharRefs(text + "!");
  EXPECT_EQ(large, small + "!");
  EXPECT_NE(small.find("Gr&#252;&#223;e &#20320; ok"), std::string::npos);
}

TEST(RandomText, LengthAndAlphabet) {
  EXPECT_EQ(RandomText(0), "");
  EXPECT_EQ(RandomText(-4), "");
  std::string text = RandomText(64);
  ASSERT_EQ(text.size(), 64u);
  EXPECT_EQ(text.find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"),
            std::string::npos);
  EXPECT_NE(RandomText(64), text);
}

// Every character is equally likely. A plain "byte % 62" would make the
// first eight characters 25% more frequent than the rest.
TEST(RandomText, IsUniformOverTheAlphabet) {
  const int perCharacter = 2000;
  std::string text = RandomText(62 * perCharacter);
  std::map<char, int> counts;
  for (char c : text) ++counts[c];
  ASSERT_EQ(counts.size(), 62u);
  for (auto [c, count] : counts) {
    EXPECT_GT(count, perCharacter - 250) << c;
    EXPECT_LT(count, perCharacter + 250) << c;
  }
}

}  // namespace
}  // namespace quorvel
