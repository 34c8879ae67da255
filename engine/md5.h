// MD5 message digest (RFC 1321).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

class Md5 {
 public:
  Md5();
  void Update(const void* data, std::size_t length);
  std::array<std::uint8_t, 16> Finish();

 private:
  void Transform(const unsigned char* block);

  std::uint32_t state_[4];
  std::uint64_t length_ = 0;  // bytes so far
  unsigned char buffer_[64];
};

// The digest of `bytes` as 32 lowercase hexadecimal characters.
std::string Md5Hex(std::string_view bytes);

}  // namespace quorvel
