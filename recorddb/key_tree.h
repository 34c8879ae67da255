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
  bool ReadNode(std::int32_t position, IndexNode& node);
  void WriteNode(const IndexNode& node);
  void WriteLinks(const NodeLinks& links);
  std::int32_t AppendNode(IndexNode& node);
  bool Reparent(const IndexNode& node);
  int InsertionIndex(const IndexNode& node, const std::uint8_t* value) const;
  void WriteBlock(std::int32_t position, const DuplicateBlock& block);
  bool ValidPosition(std::int64_t position, std::int64_t size) const;

  TableStore& store_;
  int fieldType_;
  int compareMode_;
  NodeShape shape_;
  std::int32_t& root_;
  std::int32_t& firstLeaf_;
  std::int32_t& lastLeaf_;
  std::vector<std::uint8_t> buffer_;
};

}  // namespace quorvel::recorddb
