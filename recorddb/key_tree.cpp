#include "recorddb/key_tree.h"

#include <algorithm>
#include <cstring>

#include "recorddb/little_endian.h"
#include "recorddb/table_store.h"

namespace quorvel::recorddb {
namespace {

template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

std::uint8_t FoldCase(std::uint8_t c) { return (c >= 'A' && c <= 'Z') ? static_cast<std::uint8_t>(c + 32) : c; }


}  // namespace

std::int32_t NodeBytes::Get(int at) const { return LoadI32(bytes_.data() + at); }
void NodeBytes::Set(int at, std::int32_t v) { StoreI32(bytes_.data() + at, v); }

KeyTree::KeyTree(TableStore& store, int fieldType, int compareMode, int partLength, std::int32_t& root,
                 std::int32_t& firstLeaf, std::int32_t& lastLeaf)
    : store_(store),
      fieldType_(fieldType),
      compareMode_(compareMode),
      shape_(NodeShapeFor(fieldType, partLength)),
      root_(root),
      firstLeaf_(firstLeaf),
      lastLeaf_(lastLeaf) {
  node_.Reset(shape_);
  other_.Reset(shape_);
  right_.Reset(shape_);
}

int KeyTree::Compare(const std::uint8_t* a, const std::uint8_t* b) const {
  switch (fieldType_) {
    case ftByte: return Order(a[0], b[0]);
    case ftShort: return Order(LoadI16(a), LoadI16(b));
    case ftLong: case ftAutoInc: return Order(LoadI32(a), LoadI32(b));
    case ftFloat: return Order(LoadF32(a), LoadF32(b));
    case ftDouble: return Order(LoadF64(a), LoadF64(b));
    default: break;
  }
  // Text: bytes up to the first NUL, never past the slot.
  const bool fold = compareMode_ == cmNoCase;
  for (int i = 0; i < shape_.keySlot; ++i) {
    std::uint8_t x = fold ? FoldCase(a[i]) : a[i];
    std::uint8_t y = fold ? FoldCase(b[i]) : b[i];
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
  return 0;
}

bool KeyTree::ValidPosition(std::int64_t position, std::int64_t size) const {
  return position >= kHeaderSize && position + size <= store_.Size();
}

bool KeyTree::ReadLinks(std::int32_t position, NodeLinks& links) {
  if (!ValidPosition(position, shape_.nodeSize)) return false;
  std::uint8_t bytes[kNodeLinksSize];
  if (!store_.Read(position, bytes, kNodeLinksSize)) return false;
  DecodeNodeLinks(bytes, links);
  return links.self == position && links.count >= 1 && links.count <= kMaxNodeEntries;
}

bool KeyTree::ReadNode(std::int32_t position, NodeBytes& node) {
  if (!ValidPosition(position, shape_.nodeSize)) return false;
  if (!store_.Read(position, node.data(), static_cast<std::size_t>(shape_.nodeSize))) return false;
  return node.Self() == position && node.Count() >= 1 && node.Count() <= kMaxNodeEntries;
}

void KeyTree::WriteNode(const NodeBytes& node) {
  store_.Write(node.Self(), node.data(), static_cast<std::size_t>(shape_.nodeSize));
}

void KeyTree::WriteLinks(const NodeLinks& links) {
  std::uint8_t bytes[kNodeLinksSize];
  EncodeNodeLinks(links, bytes);
  store_.Write(links.self, bytes, kNodeLinksSize);
}

std::int32_t KeyTree::AppendNode(NodeBytes& node) {
  node.SetSelf(static_cast<std::int32_t>(store_.Size()));
  WriteNode(node);
  return node.Self();
}

bool KeyTree::IsBlockAt(std::int32_t position) {
  if (!ValidPosition(position, 1)) return false;
  std::uint8_t bytes[kDuplicateBlockSize];
  std::size_t n = store_.ReadSome(position, bytes, sizeof bytes);
  return IsDuplicateBlock(bytes, n);
}

bool KeyTree::ReadBlock(std::int32_t position, DuplicateBlock& block) {
  if (!ValidPosition(position, kDuplicateBlockSize)) return false;
  std::uint8_t bytes[kDuplicateBlockSize];
  if (!store_.Read(position, bytes, sizeof bytes) || !IsDuplicateBlock(bytes, sizeof bytes)) return false;
  block = DecodeDuplicateBlock(bytes);
  return true;
}

void KeyTree::WriteBlock(std::int32_t position, const DuplicateBlock& block) {
  std::uint8_t bytes[kDuplicateBlockSize];
  EncodeDuplicateBlock(block, bytes);
  store_.Write(position, bytes, sizeof bytes);
}

KeySearch KeyTree::SearchKey(const std::uint8_t* value, bool raise) {
  KeySearch result;
  if (root_ == kNoPosition) return result;
  NodeBytes& node = node_;
  if (!ReadNode(root_, node)) {
    result.damaged = true;
    return result;
  }
  for (int depth = 0;; ++depth) {
    const int n = node.Count();
    int p = 0;
    bool aboveNode = false;
    if (Compare(value, node.Key(0)) < 0) {
      p = 0;
    } else if (Compare(value, node.Key(n - 1)) > 0) {
      result.greaterThanAll = true;
      aboveNode = true;
      p = n - 1;
      if (raise && node.Child(p) != kNoPosition) {
        std::memcpy(node.Key(p), value, static_cast<std::size_t>(shape_.keySlot));
        WriteNode(node);
      }
    } else {
      p = InsertionIndex(node, value);
    }
    const std::int32_t child = node.Child(p);
    if (child == kNoPosition && Compare(value, node.Key(p)) == 0) {
      result.found = true;
      result.leaf = node.Self();
      result.entry = p;
      result.record = node.Record(p);
      return result;
    }
    if (child == kNoPosition) {
      result.leaf = node.Self();
      result.entry = aboveNode ? p + 1 : p;
      return result;
    }
    if (depth + 1 >= kMaxDepth || !ReadNode(child, node)) {
      result = KeySearch{};
      result.damaged = true;
      return result;
    }
  }
}

int KeyTree::InsertionIndex(const NodeBytes& node, const std::uint8_t* value) const {
  const int n = node.Count();
  if (Compare(value, node.Key(0)) < 0) return 0;
  if (Compare(value, node.Key(n - 1)) > 0) return n;
  int low = 0;
  int high = n - 1;
  while (low <= high) {
    int middle = (low + high) / 2;
    int order = Compare(value, node.Key(middle));
    if (order == 0) return middle;
    if (order < 0) {
      high = middle - 1;
    } else {
      low = middle + 1;
    }
  }
  return low;
}

bool KeyTree::Reparent(const NodeBytes& node) {
  for (int i = 0; i < node.Count(); ++i) {
    const std::int32_t child = node.Child(i);
    if (child == kNoPosition) continue;
    NodeLinks links;
    if (!ReadLinks(child, links)) return false;
    links.parent = node.Self();
    WriteLinks(links);
  }
  return true;
}

bool KeyTree::InsertKey(const std::uint8_t* value, std::int32_t record, std::int32_t leaf, int entry) {
  const std::size_t slot = static_cast<std::size_t>(shape_.keySlot);
  NodeBytes& node = node_;
  if (leaf == kNoPosition) {
    if (root_ != kNoPosition) return false;  // a tree exists: never start a second one over it
    // Unused entries stay zero, as do the record positions of internal
    // nodes, which carry no meaning.
    node.Reset(shape_);
    node.SetCount(1);
    node.SetChild(0, kNoPosition);
    node.SetRecord(0, record);
    node.SetParent(kNoPosition);
    node.SetPrevious(kNoPosition);
    node.SetNext(kNoPosition);
    std::memcpy(node.Key(0), value, slot);
    const std::int32_t position = AppendNode(node);
    root_ = firstLeaf_ = lastLeaf_ = position;
    return true;
  }

  if (!ReadNode(leaf, node)) return false;
  carried_.assign(value, value + slot);
  std::int32_t carriedRecord = record;
  std::int32_t leftChild = kNoPosition;
  std::int32_t rightChild = kNoPosition;
  int p = entry;

  for (int level = 0; level < kMaxDepth; ++level) {
    const int n = node.Count();
    if (p < 0 || p > n) return false;
    // Shift entries p..n-1 one place right, then put the carried entry at p.
    const std::size_t moved = static_cast<std::size_t>(n - p);
    std::uint8_t* base = node.data();
    std::memmove(base + node_offset::kChildren + 4 * (p + 1), base + node_offset::kChildren + 4 * p, 4 * moved);
    std::memmove(base + node_offset::kRecords + 4 * (p + 1), base + node_offset::kRecords + 4 * p, 4 * moved);
    std::memmove(node.Key(p + 1), node.Key(p), slot * moved);
    std::memcpy(node.Key(p), carried_.data(), slot);
    node.SetRecord(p, carriedRecord);
    node.SetChild(p, leftChild);
    if (p + 1 <= n) node.SetChild(p + 1, rightChild);
    node.SetCount(n + 1);

    const bool isLeaf = node.Child(0) == kNoPosition;
    if (n + 1 <= kMaxNodeEntries) {
      WriteNode(node);
      if (isLeaf && node.Next() == kNoPosition) lastLeaf_ = node.Self();
      return true;
    }

    // Split: entries 100..200 move to a new right node, N keeps 0..99.
    constexpr int kKeep = 100;
    constexpr int kMoved = kNodeSlots - kKeep;
    NodeBytes& right = right_;
    right.Reset(shape_);
    std::uint8_t* to = right.data();
    std::memcpy(to + node_offset::kChildren, base + node_offset::kChildren + 4 * kKeep, 4 * kMoved);
    std::memcpy(to + node_offset::kRecords, base + node_offset::kRecords + 4 * kKeep, 4 * kMoved);
    std::memcpy(right.Key(0), node.Key(kKeep), slot * kMoved);
    right.SetCount(kMoved);
    right.SetPrevious(node.Self());
    right.SetNext(node.Next());
    right.SetParent(node.Parent());
    std::memset(base + node_offset::kChildren + 4 * kKeep, 0, 4 * kMoved);
    std::memset(base + node_offset::kRecords + 4 * kKeep, 0, 4 * kMoved);
    std::memset(node.Key(kKeep), 0, slot * kMoved);
    node.SetCount(kKeep);

    if (node.Parent() != kNoPosition) {
      NodeBytes& parent = other_;
      if (!ReadNode(node.Parent(), parent)) return false;
      AppendNode(right);
      if (isLeaf && right.Next() == kNoPosition) lastLeaf_ = right.Self();
      if (!Reparent(right)) return false;
      if (node.Next() != kNoPosition) {
        NodeLinks neighbour;
        if (!ReadLinks(node.Next(), neighbour)) return false;
        neighbour.previous = right.Self();
        WriteLinks(neighbour);
      }
      node.SetNext(right.Self());
      WriteNode(node);
      // Carry (N's last key) with N on its left and S on its right.
      carried_.assign(node.Key(kKeep - 1), node.Key(kKeep - 1) + slot);
      carriedRecord = 0;
      leftChild = node.Self();
      rightChild = right.Self();
      p = InsertionIndex(parent, carried_.data());
      std::swap(node_, other_);
      continue;
    }

    // N was the root: a new root above N and S, then S.
    NodeBytes& newRoot = other_;
    newRoot.Reset(shape_);
    const std::int32_t rootPosition = static_cast<std::int32_t>(store_.Size());
    const std::int32_t rightPosition = rootPosition + shape_.nodeSize;
    newRoot.SetCount(2);
    std::memcpy(newRoot.Key(0), node.Key(kKeep - 1), slot);
    std::memcpy(newRoot.Key(1), right.Key(kMoved - 1), slot);
    newRoot.SetChild(0, node.Self());
    newRoot.SetChild(1, rightPosition);
    newRoot.SetParent(kNoPosition);
    newRoot.SetPrevious(kNoPosition);
    newRoot.SetNext(kNoPosition);
    AppendNode(newRoot);
    root_ = rootPosition;
    right.SetParent(rootPosition);
    AppendNode(right);
    if (isLeaf && right.Next() == kNoPosition) lastLeaf_ = right.Self();
    if (!Reparent(right)) return false;
    node.SetParent(rootPosition);
    node.SetNext(right.Self());
    WriteNode(node);
    return true;
  }
  return false;
}

bool KeyTree::CanAddDuplicate(std::int32_t leaf, int entry) {
  NodeLinks links;
  if (!ReadLinks(leaf, links) || entry < 0 || entry >= links.count) return false;
  const std::int32_t first = links.records[entry];
  if (first < 0) return true;
  if (!ValidPosition(first, 1)) return false;
  if (!IsBlockAt(first)) return true;
  DuplicateBlock head;
  if (!ReadBlock(first, head)) return false;
  if (head.lastOrSelf < 0 || head.lastOrSelf == first) return true;
  DuplicateBlock last;
  return ReadBlock(head.lastOrSelf, last);
}

bool KeyTree::AddDuplicate(std::int32_t leaf, int entry, std::int32_t record) {
  if (!CanAddDuplicate(leaf, entry)) return false;
  NodeLinks links;
  ReadLinks(leaf, links);
  const std::int32_t first = links.records[entry];
  if (first < 0) {
    links.records[entry] = record;
    WriteLinks(links);
    return true;
  }
  if (!IsBlockAt(first)) {
    // A second record with this value: a two-block chain replaces the plain
    // entry, head first.
    const std::int32_t head = static_cast<std::int32_t>(store_.Size());
    const std::int32_t second = head + kDuplicateBlockSize;
    WriteBlock(head, {first, second, kNoPosition, second});
    links.records[entry] = head;
    WriteLinks(links);
    WriteBlock(second, {record, kNoPosition, head, second});
    return true;
  }
  DuplicateBlock head;
  ReadBlock(first, head);
  const std::int32_t added = static_cast<std::int32_t>(store_.Size());
  if (head.lastOrSelf < 0 || head.lastOrSelf == first) {
    WriteBlock(added, {record, kNoPosition, first, added});
  } else {
    DuplicateBlock oldLast;
    ReadBlock(head.lastOrSelf, oldLast);
    WriteBlock(added, {record, kNoPosition, head.lastOrSelf, added});
    oldLast.next = added;
    WriteBlock(head.lastOrSelf, oldLast);
  }
  if (head.lastOrSelf < 0 || head.lastOrSelf == first) head.next = added;
  head.lastOrSelf = added;
  WriteBlock(first, head);
  return true;
}

}  // namespace quorvel::recorddb
