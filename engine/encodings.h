// The content encodings that a lock run is built from. The page templates'
// script inverts them, so every definition here must be kept bit for bit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel {

// `length` characters from "0-9A-Za-z", uniformly drawn from the OS's
// cryptographic source; empty for a length of 0 or less.
std::string RandomText(int length);

// Makes content independent of the page's charset: every character from
// U+00A1 up becomes one decimal reference "&#N;" of its code point; other
// characters are kept as they are. Input is decoded from the system code
// page (UTF-8); an invalid sequence becomes U+FFFD.
std::string ToCharRefs(std::string_view text);

// The stream cipher (an RC4 variant: the key schedule runs over the key's
// length only, walking the key backwards, and the first data byte uses
// i = 0). Transforms `data` in place; applying it twice restores the data.
// `keyLength` must be 0..256.
void StreamCrypt(const unsigned char* key, std::size_t keyLength, unsigned char* data,
                 std::size_t dataLength);

inline constexpr std::size_t kMaxStreamCryptKey = 256;

// Six-bit text encoding: the Base64 alphabet, but the bytes read as one
// little-endian bit stream, six bits at a time, least significant first, and
// no padding. n bytes give 4*(n/3) + {0,2,3}[n%3] characters.
std::string EncodeSixBit(const unsigned char* data, std::size_t length);
inline std::string EncodeSixBit(std::string_view bytes) {
  return EncodeSixBit(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

// The number of characters EncodeSixBit writes for `length` bytes.
std::size_t SixBitLength(std::size_t length);

// EncodeSixBit into `out`, which must have room for SixBitLength(length)
// characters.
void EncodeSixBitInto(const unsigned char* data, std::size_t length, char* out);

// The inverse of EncodeSixBit. Characters outside the alphabet count as 0;
// a final single character (never produced by the encoder) is ignored.
std::string DecodeSixBit(std::string_view text);

}  // namespace quorvel
