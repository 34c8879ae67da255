// The B+ tree of one key inside the table file: search, insertion with node
// splits and separator raising, and the duplicate chains of keys that allow
// equal values. Node and block layouts are in table_format.h.
//
// Internal keys are the largest key of their child's subtree, so a value
// above every key is entered by a raising search (which lifts the last key
// of each internal node on the rightmost path) followed by an insertion at
// the end of the rightmost leaf.
//
// The tree never trusts the file: every node is checked (inside the file,
// past the header, its own position, 1..200 entries) before it is used, a
// descent is bounded in depth, and a damaged tree is reported as such rather
// than taken for an empty one.
#pragma once

#include <cstdint>
#include <vector>

#include "recorddb/table_format.h"

namespace quorvel::recorddb {

class TableStore;

// A whole node as its file bytes, read and changed in place: the search and
// the insertion touch only the entries they need instead of decoding all.
class NodeBytes {
 public:
  void Reset(const NodeShape& shape) {
    shape_ = shape;
    bytes_.assign(static_cast<std::size_t>(shape.nodeSize), 0);
  }
  std::uint8_t* data() { return bytes_.data(); }
  const std::uint8_t* data() const { return bytes_.data(); }

  std::int32_t Count() const { return Get(node_offset::kCount); }
  std::int32_t Child(int i) const { return Get(node_offset::kChildren + 4 * i); }
  std::int32_t Record(int i) const { return Get(node_offset::kRecords + 4 * i); }
  std::int32_t Parent() const { return Get(node_offset::kParent); }
  std::int32_t Self() const { return Get(node_offset::kSelf); }
  std::int32_t Previous() const { return Get(node_offset::kPrevious); }
  std::int32_t Next() const { return Get(node_offset::kNext); }
  std::uint8_t* Key(int i) { return bytes_.data() + shape_.keysOffset + i * shape_.keySlot; }
  const std::uint8_t* Key(int i) const { return bytes_.data() + shape_.keysOffset + i * shape_.keySlot; }

  void SetCount(std::int32_t v) { Set(node_offset::kCount, v); }
  void SetChild(int i, std::int32_t v) { Set(node_offset::kChildren + 4 * i, v); }
  void SetRecord(int i, std::int32_t v) { Set(node_offset::kRecords + 4 * i, v); }
  void SetParent(std::int32_t v) { Set(node_offset::kParent, v); }
  void SetSelf(std::int32_t v) { Set(node_offset::kSelf, v); }
  void SetPrevious(std::int32_t v) { Set(node_offset::kPrevious, v); }
  void SetNext(std::int32_t v) { Set(node_offset::kNext, v); }

 private:
  std::int32_t Get(int at) const;
  void Set(int at, std::int32_t v);

  NodeShape shape_;
  std::vector<std::uint8_t> bytes_;
};

// What a search found.
struct KeySearch {
  std::int32_t leaf = kNoPosition;  // the leaf where the value is or goes
  int entry = 0;                    // its entry index there
  bool found = false;               // an equal value is in the leaf
  std::int32_t record = kNoPosition;  // the found entry's record position
  bool greaterThanAll = false;      // the value is above every key (append)
  bool damaged = false;             // the tree could not be read
};

class KeyTree {
 public:
  // `roots` point at the key's root, first-leaf and last-leaf entries of the
  // header, which the tree keeps up to date.
  KeyTree(TableStore& store, int fieldType, int compareMode, int partLength, std::int32_t& root,
          std::int32_t& firstLeaf, std::int32_t& lastLeaf);

  const NodeShape& shape() const { return shape_; }
  int KeySlot() const { return shape_.keySlot; }

  // <0, 0, >0 as a orders before, equal to or after b (key slots).
  int Compare(const std::uint8_t* a, const std::uint8_t* b) const;

  // Finds where `value` is or would go. With `raise`, lifts the last key of
  // internal nodes below `value` on the way down (written at once).
  KeySearch SearchKey(const std::uint8_t* value, bool raise);

  // Enters a value that is not in the tree at `entry` of `leaf` (kNoPosition
  // for an empty tree). False when a node on the way turns out damaged.
  bool InsertKey(const std::uint8_t* value, std::int32_t record, std::int32_t leaf, int entry);

  // Checks that AddDuplicate can enter a record at this entry: the entry
  // exists and, when it heads a chain, the head and last blocks are sound.
  bool CanAddDuplicate(std::int32_t leaf, int entry);

  // Enters a record whose value is already in entry `entry` of `leaf`,
  // starting or extending its duplicate chain (or filling a removed entry).
  bool AddDuplicate(std::int32_t leaf, int entry, std::int32_t record);

  // Reads and checks the common part of the node at `position`.
  bool ReadLinks(std::int32_t position, NodeLinks& links);
  // Reads the duplicate block at `position`; false when there is none.
  bool ReadBlock(std::int32_t position, DuplicateBlock& block);
  // True when `position` holds a duplicate block tag.
  bool IsBlockAt(std::int32_t position);

  // Deepest tree accepted; a valid tree of 2^31 bytes is far shallower.
  static constexpr int kMaxDepth = 32;

 private:
  bool ReadNode(std::int32_t position, NodeBytes& node);
  void WriteNode(const NodeBytes& node);
  void WriteLinks(const NodeLinks& links);
  std::int32_t AppendNode(NodeBytes& node);
  bool Reparent(const NodeBytes& node);
  int InsertionIndex(const NodeBytes& node, const std::uint8_t* value) const;
  void WriteBlock(std::int32_t position, const DuplicateBlock& block);
  bool ValidPosition(std::int64_t position, std::int64_t size) const;

  TableStore& store_;
  int fieldType_;
  int compareMode_;
  NodeShape shape_;
  std::int32_t& root_;
  std::int32_t& firstLeaf_;
  std::int32_t& lastLeaf_;
  // Scratch nodes, kept to spare an allocation per node read.
  NodeBytes node_;
  NodeBytes other_;
  NodeBytes right_;
  std::vector<std::uint8_t> carried_;
};

}  // namespace quorvel::recorddb
