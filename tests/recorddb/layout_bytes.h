// Expected table file bytes, built straight from the published layout (the
// offsets are written out here as numbers, not taken from the engine), so a
// test compares the engine's file against an independent reading of the
// format.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace quorvel::testing {

// A byte string with little-endian stores at given offsets.
class Bytes {
 public:
  explicit Bytes(std::size_t size = 0) : data_(size, '\0') {}

  Bytes& I16(std::size_t at, int value) { return Int(at, static_cast<std::uint64_t>(value), 2); }
  Bytes& I32(std::size_t at, std::int64_t value) { return Int(at, static_cast<std::uint64_t>(value), 4); }
  Bytes& Text(std::size_t at, const std::string& text) {
    Grow(at + text.size());
    data_.replace(at, text.size(), text);
    return *this;
  }
  Bytes& Append(const std::string& bytes) {
    data_ += bytes;
    return *this;
  }
  const std::string& str() const { return data_; }
  std::size_t size() const { return data_.size(); }

 private:
  Bytes& Int(std::size_t at, std::uint64_t value, int width) {
    Grow(at + static_cast<std::size_t>(width));
    for (int i = 0; i < width; ++i) data_[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xff);
    return *this;
  }
  void Grow(std::size_t size) {
    if (data_.size() < size) data_.resize(size, '\0');
  }
  std::string data_;
};

struct FieldDecl {
  std::string name;
  int type;
  int width;
};

struct KeyDecl {
  std::string name;
  int kind;
  int field;
  int compare;
  int start;
  int length;
  std::int32_t root = -1;
  std::int32_t firstLeaf = -1;
  std::int32_t lastLeaf = -1;
};

// The 15472-byte header of a table with these fields and keys, as the
// engine writes it when it creates the file.
inline std::string HeaderBytes(const std::vector<FieldDecl>& fields, const std::vector<KeyDecl>& keys,
                               int recordCount, const std::string& description = "") {
  Bytes b(15472);
  b.Text(0, "Vyrd,Signature_Tavrin");
  int recordSize = 0;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    b.Text(40 + 32 * i, fields[i].name);
    b.I16(4136 + 2 * i, fields[i].type);
    b.I16(4392 + 2 * i, fields[i].width);
    recordSize += fields[i].width;
  }
  b.I32(32, recordSize);
  b.I32(36, recordCount);
  b.I16(4648, static_cast<int>(fields.size()));
  for (std::size_t k = 0; k < 10; ++k) {
    b.I32(15252 + 4 * k, -1);
    b.I32(15292 + 4 * k, -1);
    b.I32(15332 + 4 * k, -1);
  }
  for (std::size_t k = 0; k < keys.size(); ++k) {
    b.Text(4650 + 32 * k, keys[k].name);
    b.I16(4970 + 2 * k, keys[k].kind);
    b.I16(4990 + 256 * k, keys[k].field);
    b.I16(7550 + 256 * k, keys[k].compare);
    b.I16(10110 + 256 * k, keys[k].start);
    b.I16(12670 + 256 * k, keys[k].length);
    b.I16(15230 + 2 * k, -1);
    b.I32(15252 + 4 * k, keys[k].root);
    b.I32(15292 + 4 * k, keys[k].firstLeaf);
    b.I32(15332 + 4 * k, keys[k].lastLeaf);
  }
  b.I16(15250, static_cast<int>(keys.size()));
  b.I32(15372, -1);
  b.I32(15376, -1);
  b.I16(15380, 0);
  b.Text(15382, description);
  b.Text(15442, "2.60");
  b.I32(15452, -1);
  return b.str();
}

// One entry of a node: key bytes, child and record positions.
struct NodeEntry {
  std::string key;  // the slot's bytes (shorter is zero-padded)
  std::int32_t child;
  std::int32_t record;
};

// A whole node of `nodeSize` bytes with key slots of `slot` bytes from
// `keysAt`; unused entries and fillers zero.
inline std::string NodeBytes(const std::vector<NodeEntry>& entries, std::int32_t parent, std::int32_t self,
                             std::int32_t previous, std::int32_t next, std::size_t slot, std::size_t keysAt,
                             std::size_t nodeSize) {
  Bytes b(nodeSize);
  b.I32(0, static_cast<std::int64_t>(entries.size()));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    b.I32(4 + 4 * i, entries[i].child);
    b.I32(808 + 4 * i, entries[i].record);
    b.Text(keysAt + slot * i, entries[i].key.substr(0, slot));
  }
  b.I32(1612, parent);
  b.I32(1616, self);
  b.I32(1620, previous);
  b.I32(1624, next);
  return b.str();
}

// A 4-byte little-endian int32 key slot.
inline std::string Int32Key(std::int32_t value) { return Bytes().I32(0, value).str(); }

// Reads an int32 back out of bytes.
inline std::int32_t ReadI32(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
  return static_cast<std::int32_t>(v);
}

inline void PatchI32(std::string& bytes, std::size_t at, std::int32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(at + static_cast<std::size_t>(i)) = static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xff);
}

inline void PatchI16(std::string& bytes, std::size_t at, int value) {
  bytes.at(at) = static_cast<char>(value & 0xff);
  bytes.at(at + 1) = static_cast<char>((value >> 8) & 0xff);
}

}  // namespace quorvel::testing
