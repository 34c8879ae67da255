// Prints, as JSON, what the C++ engine computes for a set of inputs, so the
// page templates' script can be checked against the engine itself: MD5
// digests, six-bit texts, stream cipher output and credential entries. All
// byte strings are written in hexadecimal.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "engine/credential_table.h"
#include "engine/encodings.h"
#include "engine/md5.h"

namespace {

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

std::string Encrypted(std::string_view key, std::string data) {
  quorvel::StreamCrypt(reinterpret_cast<const unsigned char*>(key.data()), key.size(),
                       reinterpret_cast<unsigned char*>(data.data()), data.size());
  return data;
}

// Deterministic bytes that cover every value, so runs are reproducible.
std::string PatternBytes(std::size_t length, unsigned seed) {
  std::string bytes(length, '\0');
  unsigned state = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<char>(state >> 23);
  }
  return bytes;
}

std::string AllByteValues(bool descending) {
  std::string bytes(256, '\0');
  for (int v = 0; v < 256; ++v) bytes[v] = static_cast<char>(descending ? 255 - v : v);
  return bytes;
}

class JsonList {
 public:
  explicit JsonList(const char* name) { std::printf("\"%s\": [\n", name); }
  void Item(const std::string& object) {
    std::printf("%s  %s", first_ ? "" : ",\n", object.c_str());
    first_ = false;
  }
  void Close(bool last) { std::printf("\n]%s\n", last ? "" : ","); }

 private:
  bool first_ = true;
};

std::string Field(const char* name, const std::string& value, bool last = false) {
  return "\"" + std::string(name) + "\": \"" + value + "\"" + (last ? "" : ", ");
}

}  // namespace

int main() {
  using std::string;
  std::printf("{\n");

  JsonList md5("md5");
  std::vector<string> md5Inputs = {"", "pässwörd", "日本語のパスワード", AllByteValues(false)};
  // Lengths around the 56- and 64-byte block boundaries.
  for (std::size_t length : {1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 1000u}) {
    md5Inputs.push_back(PatternBytes(length, static_cast<unsigned>(length)));
  }
  for (const auto& input : md5Inputs) {
    md5.Item("{" + Field("input", Hex(input)) + Field("digest", quorvel::Md5Hex(input), true) + "}");
  }
  md5.Close(false);

  JsonList sixBit("sixBit");
  std::vector<string> sixBitInputs = {"", "a", "ab", "abc", "abcd", string(7, '\0'), string("\xff"),
                                      AllByteValues(false), AllByteValues(true)};
  for (std::size_t length = 1; length <= 8; ++length) sixBitInputs.push_back(PatternBytes(length, 100 + length));
  sixBitInputs.push_back(PatternBytes(3001, 7));
  for (const auto& input : sixBitInputs) {
    sixBit.Item("{" + Field("bytes", Hex(input)) + Field("text", quorvel::EncodeSixBit(input), true) + "}");
  }
  sixBit.Close(false);

  JsonList stream("streamCrypt");
  const string allValues = AllByteValues(false);
  const string data = allValues + AllByteValues(true) + allValues + string(40, '\0');
  std::vector<string> keys = {"",
                              "K",
                              "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz01",
                              "\xc3\xa9t\xc3\xa9\xc3\xa9t\xc3\xa9",  // bytes above 127
                              AllByteValues(true),                   // 256 bytes
                              PatternBytes(255, 3)};
  for (const auto& key : keys) {
    stream.Item("{" + Field("key", Hex(key)) + Field("data", Hex(data)) +
                Field("result", Hex(Encrypted(key, data)), true) + "}");
  }
  stream.Item("{" + Field("key", Hex("abc")) + Field("data", "") + Field("result", "", true) + "}");
  stream.Close(false);

  JsonList entries("credentialEntries");
  const string contentKey = quorvel::RandomText(64);
  struct Account {
    string user, password;
  };
  std::vector<Account> accounts = {{"alice", "secret"},
                                   {"Alice", "secret"},
                                   {"", ""},
                                   {"jürgen", "pässwörd€"},
                                   {"山田", "パスワード"},
                                   {"quote\"and,comma", "with space and \\"},
                                   {"default", string(128, 'x')},
                                   {"limit", string(126, 'q') + "\xc3\xa9"}};  // 128 bytes, the longest allowed
  for (const auto& account : accounts) {
    entries.Item("{" + Field("user", Hex(account.user)) + Field("password", Hex(account.password)) +
                 Field("contentKey", contentKey) +
                 Field("entry", Hex(quorvel::BuildCredentialEntry(account.user, account.password, contentKey)),
                       true) +
                 "}");
  }
  entries.Close(false);

  // Whole payloads as a lock run makes them: content encrypted with the
  // content key, then six-bit encoded.
  JsonList payloads("payloads");
  // Lengths leaving 0, 1 and 2 bytes after the last group of three.
  const std::vector<string> contents = {"<title>t</title>caf\xc3\xa9", PatternBytes(2000, 11), "x", "abc",
                                        PatternBytes(1 << 16, 12)};
  for (const auto& content : contents) {
    payloads.Item("{" + Field("contentKey", contentKey) + Field("content", Hex(content)) +
                  Field("payload", quorvel::EncodeSixBit(Encrypted(contentKey, content)), true) + "}");
  }
  payloads.Close(true);

  std::printf("}\n");
  return 0;
}
