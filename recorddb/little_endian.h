// Little-endian reads and writes of fixed-width integers and IEEE 754 values
// in byte buffers. Every number in a table file goes through these, so the
// file means the same on any host, whatever its byte order or alignment.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace quorvel::recorddb {

inline std::uint16_t LoadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t LoadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t LoadU64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(LoadU32(p)) | (static_cast<std::uint64_t>(LoadU32(p + 4)) << 32);
}
inline std::int16_t LoadI16(const std::uint8_t* p) { return static_cast<std::int16_t>(LoadU16(p)); }
inline std::int32_t LoadI32(const std::uint8_t* p) { return static_cast<std::int32_t>(LoadU32(p)); }
inline float LoadF32(const std::uint8_t* p) { return std::bit_cast<float>(LoadU32(p)); }
inline double LoadF64(const std::uint8_t* p) { return std::bit_cast<double>(LoadU64(p)); }

inline void StoreU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}
inline void StoreU64(std::uint8_t* p, std::uint64_t v) {
  StoreU32(p, static_cast<std::uint32_t>(v));
  StoreU32(p + 4, static_cast<std::uint32_t>(v >> 32));
}
inline void StoreI16(std::uint8_t* p, std::int16_t v) { StoreU16(p, static_cast<std::uint16_t>(v)); }
inline void StoreI32(std::uint8_t* p, std::int32_t v) { StoreU32(p, static_cast<std::uint32_t>(v)); }
inline void StoreF32(std::uint8_t* p, float v) { StoreU32(p, std::bit_cast<std::uint32_t>(v)); }
inline void StoreF64(std::uint8_t* p, double v) { StoreU64(p, std::bit_cast<std::uint64_t>(v)); }

}  // namespace quorvel::recorddb
