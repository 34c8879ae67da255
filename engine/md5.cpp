#include "engine/md5.h"

#include <algorithm>
#include <cstring>

namespace quorvel {
namespace {

inline std::uint32_t RotateLeft(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline std::uint32_t LoadLittleEndian(const unsigned char* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

}  // namespace

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}, buffer_{} {}

void Md5::Transform(const unsigned char* block) {
  std::uint32_t m[16];
  for (int i = 0; i < 16; ++i) m[i] = LoadLittleEndian(block + 4 * i);
  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];

  // The 64 steps written out: a loop with table lookups runs markedly slower.
  // The message word and constant are added first, as they do not wait on
  // the previous step; G's two disjoint terms are added separately.
#define FF(a, b, c, d, x, s, k) a = b + RotateLeft((a + (x + k)) + (d ^ (b & (c ^ d))), s)
#define GG(a, b, c, d, x, s, k) a = b + RotateLeft(((a + (x + k)) + (c & ~d)) + (b & d), s)
#define HH(a, b, c, d, x, s, k) a = b + RotateLeft((a + (x + k)) + (b ^ c ^ d), s)
#define II(a, b, c, d, x, s, k) a = b + RotateLeft((a + (x + k)) + (c ^ (b | ~d)), s)
  FF(a, b, c, d, m[0], 7, 0xd76aa478);
  FF(d, a, b, c, m[1], 12, 0xe8c7b756);
  FF(c, d, a, b, m[2], 17, 0x242070db);
  FF(b, c, d, a, m[3], 22, 0xc1bdceee);
  FF(a, b, c, d, m[4], 7, 0xf57c0faf);
  FF(d, a, b, c, m[5], 12, 0x4787c62a);
  FF(c, d, a, b, m[6], 17, 0xa8304613);
  FF(b, c, d, a, m[7], 22, 0xfd469501);
  FF(a, b, c, d, m[8], 7, 0x698098d8);
  FF(d, a, b, c, m[9], 12, 0x8b44f7af);
  FF(c, d, a, b, m[10], 17, 0xffff5bb1);
  FF(b, c, d, a, m[11], 22, 0x895cd7be);
  FF(a, b, c, d, m[12], 7, 0x6b901122);
  FF(d, a, b, c, m[13], 12, 0xfd987193);
  FF(c, d, a, b, m[14], 17, 0xa679438e);
  FF(b, c, d, a, m[15], 22, 0x49b40821);
  GG(a, b, c, d, m[1], 5, 0xf61e2562);
  GG(d, a, b, c, m[6], 9, 0xc040b340);
  GG(c, d, a, b, m[11], 14, 0x265e5a51);
  GG(b, c, d, a, m[0], 20, 0xe9b6c7aa);
  GG(a, b, c, d, m[5], 5, 0xd62f105d);
  GG(d, a, b, c, m[10], 9, 0x02441453);
  GG(c, d, a, b, m[15], 14, 0xd8a1e681);
  GG(b, c, d, a, m[4], 20, 0xe7d3fbc8);
  GG(a, b, c, d, m[9], 5, 0x21e1cde6);
  GG(d, a, b, c, m[14], 9, 0xc33707d6);
  GG(c, d, a, b, m[3], 14, 0xf4d50d87);
  GG(b, c, d, a, m[8], 20, 0x455a14ed);
  GG(a, b, c, d, m[13], 5, 0xa9e3e905);
  GG(d, a, b, c, m[2], 9, 0xfcefa3f8);
  GG(c, d, a, b, m[7], 14, 0x676f02d9);
  GG(b, c, d, a, m[12], 20, 0x8d2a4c8a);
  HH(a, b, c, d, m[5], 4, 0xfffa3942);
  HH(d, a, b, c, m[8], 11, 0x8771f681);
  HH(c, d, a, b, m[11], 16, 0x6d9d6122);
  HH(b, c, d, a, m[14], 23, 0xfde5380c);
  HH(a, b, c, d, m[1], 4, 0xa4beea44);
  HH(d, a, b, c, m[4], 11, 0x4bdecfa9);
  HH(c, d, a, b, m[7], 16, 0xf6bb4b60);
  HH(b, c, d, a, m[10], 23, 0xbebfbc70);
  HH(a, b, c, d, m[13], 4, 0x289b7ec6);
  HH(d, a, b, c, m[0], 11, 0xeaa127fa);
  HH(c, d, a, b, m[3], 16, 0xd4ef3085);
  HH(b, c, d, a, m[6], 23, 0x04881d05);
  HH(a, b, c, d, m[9], 4, 0xd9d4d039);
  HH(d, a, b, c, m[12], 11, 0xe6db99e5);
  HH(c, d, a, b, m[15], 16, 0x1fa27cf8);
  HH(b, c, d, a, m[2], 23, 0xc4ac5665);
  II(a, b, c, d, m[0], 6, 0xf4292244);
  II(d, a, b, c, m[7], 10, 0x432aff97);
  II(c, d, a, b, m[14], 15, 0xab9423a7);
  II(b, c, d, a, m[5], 21, 0xfc93a039);
  II(a, b, c, d, m[12], 6, 0x655b59c3);
  II(d, a, b, c, m[3], 10, 0x8f0ccc92);
  II(c, d, a, b, m[10], 15, 0xffeff47d);
  II(b, c, d, a, m[1], 21, 0x85845dd1);
  II(a, b, c, d, m[8], 6, 0x6fa87e4f);
  II(d, a, b, c, m[15], 10, 0xfe2ce6e0);
  II(c, d, a, b, m[6], 15, 0xa3014314);
  II(b, c, d, a, m[13], 21, 0x4e0811a1);
  II(a, b, c, d, m[4], 6, 0xf7537e82);
  II(d, a, b, c, m[11], 10, 0xbd3af235);
  II(c, d, a, b, m[2], 15, 0x2ad7d2bb);
  II(b, c, d, a, m[9], 21, 0xeb86d391);
#undef FF
#undef GG
#undef HH
#undef II

  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

void Md5::Update(const void* data, std::size_t length) {
  const auto* p = static_cast<const unsigned char*>(data);
  std::size_t used = static_cast<std::size_t>(length_ % 64);
  length_ += length;
  if (used > 0) {
    std::size_t take = std::min<std::size_t>(64 - used, length);
    std::memcpy(buffer_ + used, p, take);
    p += take;
    length -= take;
    if (used + take < 64) return;
    Transform(buffer_);
  }
  while (length >= 64) {
    Transform(p);
    p += 64;
    length -= 64;
  }
  if (length > 0) std::memcpy(buffer_, p, length);
}

std::array<std::uint8_t, 16> Md5::Finish() {
  std::uint64_t bitLength = length_ * 8;
  unsigned char padding[72] = {0x80};
  std::size_t used = static_cast<std::size_t>(length_ % 64);
  std::size_t padLength = used < 56 ? 56 - used : 120 - used;
  unsigned char lengthBytes[8];
  for (int i = 0; i < 8; ++i) lengthBytes[i] = static_cast<unsigned char>(bitLength >> (8 * i));
  Update(padding, padLength);
  Update(lengthBytes, 8);
  std::array<std::uint8_t, 16> digest{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<std::uint8_t>(state_[i] >> (8 * j));
  return digest;
}

std::string Md5Hex(std::string_view bytes) {
  Md5 md5;
  md5.Update(bytes.data(), bytes.size());
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex(32, '0');
  auto digest = md5.Finish();
  for (int i = 0; i < 16; ++i) {
    hex[2 * i] = kHex[digest[i] >> 4];
    hex[2 * i + 1] = kHex[digest[i] & 15];
  }
  return hex;
}

}  // namespace quorvel
