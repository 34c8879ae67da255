#include "engine/encodings.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "platform/codepage.h"
#include "platform/secure_random.h"

namespace quorvel {
namespace {

constexpr char kSixBitAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

struct SixBitDecodeTable {
  unsigned char value[256];
  constexpr SixBitDecodeTable() : value{} {
    for (int i = 0; i < 64; ++i) value[static_cast<unsigned char>(kSixBitAlphabet[i])] = static_cast<unsigned char>(i);
  }
};
constexpr SixBitDecodeTable kSixBitDecode;

// The two characters of every 12-bit value, low digit first.
struct SixBitPairTable {
  char pair[4096][2];
  constexpr SixBitPairTable() : pair{} {
    for (int v = 0; v < 4096; ++v) {
      pair[v][0] = kSixBitAlphabet[v & 63];
      pair[v][1] = kSixBitAlphabet[v >> 6];
    }
  }
};
constexpr SixBitPairTable kSixBitPairs;

// Writes "&#N;" at `out` and returns the position after it.
inline char* WriteCharRef(char* out, char32_t cp) {
  char digits[8];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + cp % 10);
    cp /= 10;
  } while (cp != 0);
  *out++ = '&';
  *out++ = '#';
  while (count > 0) *out++ = digits[--count];
  *out++ = ';';
  return out;
}

inline bool AllAscii8(const unsigned char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  return (word & 0x8080808080808080ULL) == 0;
}

}  // namespace

std::string RandomText(int length) { return platform::RandomAlphanumeric(length); }

std::string ToCharRefs(std::string_view text) {
  // The input is taken in slices; each slice is converted into a stack
  // buffer big enough for its worst case (a stray byte becomes the 8-byte
  // "&#65533;"), then appended, so the loop needs no capacity checks.
  constexpr std::size_t kSlice = 4096;
  constexpr std::size_t kWorstGrowth = 8;
  // A character may straddle a slice end by up to 3 bytes.
  char buffer[(kSlice + 3) * kWorstGrowth];

  std::string result;
  result.reserve(text.size() + text.size() / 4);
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    const unsigned char* sliceEnd = end - p > static_cast<std::ptrdiff_t>(kSlice) ? p + kSlice : end;
    char* out = buffer;
    while (p < sliceEnd) {
      if (sliceEnd - p >= 8 && AllAscii8(p)) {
        std::memcpy(out, p, 8);
        out += 8;
        p += 8;
        continue;
      }
      if (*p < 0x80) {
        *out++ = static_cast<char>(*p++);
        continue;
      }
      char32_t cp = platform::DecodeSystemChar(p, end);
      if (cp >= 161) {
        out = WriteCharRef(out, cp);
      } else {
        // U+0080..U+00A0 stay characters of the page's own encoding.
        *out++ = static_cast<char>(0xC0 | (cp >> 6));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
      }
    }
    result.append(buffer, static_cast<std::size_t>(out - buffer));
  }
  return result;
}

void StreamCrypt(const unsigned char* key, std::size_t keyLength, unsigned char* data, std::size_t dataLength) {
  // The permutation is held in 32-bit cells: byte cells cost a widening on
  // every access of this loop-carried chain.
  std::uint32_t s[256];
  for (std::uint32_t x = 0; x < 256; ++x) s[x] = x;

  if (keyLength > kMaxStreamCryptKey) keyLength = kMaxStreamCryptKey;
  std::uint32_t j = 0;
  for (std::size_t i = keyLength; i-- > 0;) {
    j = (j + s[i] + key[i]) & 255;
    std::uint32_t t = s[i];
    s[i] = s[j];
    s[j] = t;
  }

  // s[i] for the next byte is loaded ahead of the swap that may change it;
  // the swap changes it only when j lands on that position, and then the
  // value is the one swapped in. This keeps the load off the chain from one
  // byte's j to the next.
  std::uint32_t i = 0;
  j = 0;
  std::uint32_t si = s[0];
  auto next = [&]() -> std::uint64_t {
    j = (j + si) & 255;
    const std::uint32_t nextI = (i + 1) & 255;
    const std::uint32_t ahead = s[nextI];
    const std::uint32_t sj = s[j];
    s[i] = sj;
    s[j] = si;
    const std::uint64_t k = s[(si + sj) & 255];
    si = nextI == j ? si : ahead;
    i = nextI;
    return k;
  };

  std::size_t n = 0;
  // Eight keystream bytes are gathered into one word and applied at once.
  for (; n + 8 <= dataLength; n += 8) {
    std::uint64_t stream = next();
    stream |= next() << 8;
    stream |= next() << 16;
    stream |= next() << 24;
    stream |= next() << 32;
    stream |= next() << 40;
    stream |= next() << 48;
    stream |= next() << 56;
    std::uint64_t word;
    std::memcpy(&word, data + n, 8);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    word ^= stream;
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    std::memcpy(data + n, &word, 8);
  }
  for (; n < dataLength; ++n) data[n] ^= static_cast<unsigned char>(next());
}

std::size_t SixBitLength(std::size_t length) {
  const std::size_t tail = length % 3;
  return length / 3 * 4 + (tail == 0 ? 0 : tail + 1);
}

std::string EncodeSixBit(const unsigned char* data, std::size_t length) {
  std::string text(SixBitLength(length), '\0');
  EncodeSixBitInto(data, length, text.data());
  return text;
}

void EncodeSixBitInto(const unsigned char* data, std::size_t length, char* out) {
  const std::size_t groups = length / 3;
  const std::size_t tail = length % 3;
  const unsigned char* p = data;
  const unsigned char* const groupsEnd = data + groups * 3;

  // Six bytes at a time: one 64-bit little-endian load (while eight bytes
  // remain readable) and four lookups of two characters each.
  while (groupsEnd - p >= 6 && (data + length) - p >= 8) {
    std::uint64_t x;
    std::memcpy(&x, p, 8);
    if constexpr (std::endian::native == std::endian::big) x = __builtin_bswap64(x);
    std::memcpy(out, kSixBitPairs.pair[x & 4095], 2);
    std::memcpy(out + 2, kSixBitPairs.pair[(x >> 12) & 4095], 2);
    std::memcpy(out + 4, kSixBitPairs.pair[(x >> 24) & 4095], 2);
    std::memcpy(out + 6, kSixBitPairs.pair[(x >> 36) & 4095], 2);
    out += 8;
    p += 6;
  }
  while (p < groupsEnd) {
    std::uint32_t x = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
    std::memcpy(out, kSixBitPairs.pair[x & 4095], 2);
    std::memcpy(out + 2, kSixBitPairs.pair[x >> 12], 2);
    out += 4;
    p += 3;
  }
  if (tail == 1) {
    out[0] = kSixBitAlphabet[p[0] & 63];
    out[1] = kSixBitAlphabet[p[0] >> 6];
  } else if (tail == 2) {
    std::uint32_t x = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
    out[0] = kSixBitAlphabet[x & 63];
    out[1] = kSixBitAlphabet[(x >> 6) & 63];
    out[2] = kSixBitAlphabet[x >> 12];
  }
}

std::string DecodeSixBit(std::string_view text) {
  const std::size_t groups = text.size() / 4;
  const std::size_t tail = text.size() % 4;
  std::string bytes;
  bytes.reserve(groups * 3 + 2);
  auto digit = [&](std::size_t index) -> std::uint32_t {
    return kSixBitDecode.value[static_cast<unsigned char>(text[index])];
  };
  for (std::size_t g = 0; g < groups; ++g) {
    std::uint32_t x = digit(4 * g) | digit(4 * g + 1) << 6 | digit(4 * g + 2) << 12 | digit(4 * g + 3) << 18;
    bytes.push_back(static_cast<char>(x & 255));
    bytes.push_back(static_cast<char>((x >> 8) & 255));
    bytes.push_back(static_cast<char>(x >> 16));
  }
  std::size_t base = groups * 4;
  if (tail >= 2) {
    std::uint32_t x = digit(base) | digit(base + 1) << 6 | (tail == 3 ? digit(base + 2) << 12 : 0);
    bytes.push_back(static_cast<char>(x & 255));
    if (tail == 3) bytes.push_back(static_cast<char>((x >> 8) & 255));
  }
  return bytes;
}

}  // namespace quorvel
