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

// A node with no entries and no links. Unused entries stay zero, as do the
// record positions of internal nodes, which carry no meaning.
IndexNode EmptyNode(const NodeShape& shape) {
  IndexNode node;
  node.keys.assign(static_cast<std::size_t>(kNodeSlots * shape.keySlot), 0);
  return node;
}

}  // namespace

KeyTree::KeyTree(TableStore& store, int fieldType, int compareMode, int partLength, std::int32_t& root,
                 std::int32_t& firstLeaf, std::int32_t& lastLeaf)
    : store_(store),
      fieldType_(fieldType),
      compareMode_(compareMode),
      shape_(NodeShapeFor(fieldType, partLength)),
      root_(root),
      firstLeaf_(firstLeaf),
      lastLeaf_(lastLeaf),
      buffer_(static_cast<std::size_t>(std::max(shape_.nodeSize, kDuplicateBlockSize))) {}

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

bool KeyTree::ReadNode(std::int32_t position, IndexNode& node) {
  if (!ValidPosition(position, shape_.nodeSize)) return false;
  if (!store_.Read(position, buffer_.data(), static_cast<std::size_t>(shape_.nodeSize))) return false;
  DecodeNode(buffer_.data(), shape_, node);
  return node.links.self == position && node.links.count >= 1 && node.links.count <= kMaxNodeEntries;
}

void KeyTree::WriteNode(const IndexNode& node) {
  EncodeNode(node, shape_, buffer_.data());
  store_.Write(node.links.self, buffer_.data(), static_cast<std::size_t>(shape_.nodeSize));
}

void KeyTree::WriteLinks(const NodeLinks& links) {
  std::uint8_t bytes[kNodeLinksSize];
  EncodeNodeLinks(links, bytes);
  store_.Write(links.self, bytes, kNodeLinksSize);
}

std::int32_t KeyTree::AppendNode(IndexNode& node) {
  node.links.self = static_cast<std::int32_t>(store_.Size());
  WriteNode(node);
  return node.links.self;
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
  IndexNode node;
  if (!ReadNode(root_, node)) {
    result.damaged = true;
    return result;
  }
  for (int depth = 0;; ++depth) {
    const int n = node.links.count;
    int p = 0;
    bool aboveNode = false;
    if (Compare(value, node.Key(0, shape_)) < 0) {
      p = 0;
    } else if (Compare(value, node.Key(n - 1, shape_)) > 0) {
      result.greaterThanAll = true;
      aboveNode = true;
      p = n - 1;
      if (raise && node.links.children[p] != kNoPosition) {
        std::memcpy(node.Key(p, shape_), value, static_cast<std::size_t>(shape_.keySlot));
        WriteNode(node);
      }
    } else {
      int low = 0;
      int high = n - 1;
      p = -1;
      while (low <= high) {
        int middle = (low + high) / 2;
        int order = Compare(value, node.Key(middle, shape_));
        if (order == 0) {
          p = middle;
          break;
        }
        if (order < 0) {
          high = middle - 1;
        } else {
          low = middle + 1;
        }
      }
      if (p < 0) p = low;
    }
    const std::int32_t child = node.links.children[p];
    if (child == kNoPosition && Compare(value, node.Key(p, shape_)) == 0) {
      result.found = true;
      result.leaf = node.links.self;
      result.entry = p;
      result.record = node.links.records[p];
      return result;
    }
    if (child == kNoPosition) {
      result.leaf = node.links.self;
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

int KeyTree::InsertionIndex(const IndexNode& node, const std::uint8_t* value) const {
  const int n = node.links.count;
  if (Compare(value, node.Key(0, shape_)) < 0) return 0;
  if (Compare(value, node.Key(n - 1, shape_)) > 0) return n;
  int low = 0;
  int high = n - 1;
  while (low <= high) {
    int middle = (low + high) / 2;
    int order = Compare(value, node.Key(middle, shape_));
    if (order == 0) return middle;
    if (order < 0) {
      high = middle - 1;
    } else {
      low = middle + 1;
    }
  }
  return low;
}

bool KeyTree::Reparent(const IndexNode& node) {
  for (int i = 0; i < node.links.count; ++i) {
    const std::int32_t child = node.links.children[i];
    if (child == kNoPosition) continue;
    NodeLinks links;
    if (!ReadLinks(child, links)) return false;
    links.parent = node.links.self;
    WriteLinks(links);
  }
  return true;
}

bool KeyTree::InsertKey(const std::uint8_t* value, std::int32_t record, std::int32_t leaf, int entry) {
  const std::size_t slot = static_cast<std::size_t>(shape_.keySlot);
  if (leaf == kNoPosition) {
    if (root_ != kNoPosition) return false;  // a tree exists: never start a second one over it
    IndexNode node = EmptyNode(shape_);
    node.links.count = 1;
    node.links.children[0] = kNoPosition;
    node.links.records[0] = record;
    std::memcpy(node.Key(0, shape_), value, slot);
    std::int32_t position = AppendNode(node);
    root_ = firstLeaf_ = lastLeaf_ = position;
    return true;
  }

  IndexNode node;
  if (!ReadNode(leaf, node)) return false;
  std::vector<std::uint8_t> carried(value, value + slot);
  std::int32_t carriedRecord = record;
  std::int32_t leftChild = kNoPosition;
  std::int32_t rightChild = kNoPosition;
  int p = entry;

  for (int level = 0; level < kMaxDepth; ++level) {
    NodeLinks& links = node.links;
    const int n = links.count;
    if (p < 0 || p > n) return false;
    // Shift p..n-1 one place right, then put the carried entry at p.
    for (int i = n; i > p; --i) {
      links.children[i] = links.children[i - 1];
      links.records[i] = links.records[i - 1];
    }
    std::memmove(node.Key(p + 1, shape_), node.Key(p, shape_), static_cast<std::size_t>(n - p) * slot);
    std::memcpy(node.Key(p, shape_), carried.data(), slot);
    links.records[p] = carriedRecord;
    links.children[p] = leftChild;
    if (p + 1 <= n) links.children[p + 1] = rightChild;
    links.count = n + 1;

    const bool isLeaf = links.children[0] == kNoPosition;
    if (links.count <= kMaxNodeEntries) {
      WriteNode(node);
      if (isLeaf && links.next == kNoPosition) lastLeaf_ = links.self;
      return true;
    }

    // Split: entries 100..200 move to a new right node.
    constexpr int kKeep = 100;
    constexpr int kMoved = kNodeSlots - kKeep;
    IndexNode right = EmptyNode(shape_);
    right.links.count = kMoved;
    for (int i = 0; i < kMoved; ++i) {
      right.links.children[i] = links.children[kKeep + i];
      right.links.records[i] = links.records[kKeep + i];
    }
    std::memcpy(right.Key(0, shape_), node.Key(kKeep, shape_), static_cast<std::size_t>(kMoved) * slot);
    right.links.previous = links.self;
    right.links.next = links.next;
    right.links.parent = links.parent;
    links.count = kKeep;
    std::fill(links.children.begin() + kKeep, links.children.end(), 0);
    std::fill(links.records.begin() + kKeep, links.records.end(), 0);
    std::memset(node.Key(kKeep, shape_), 0, static_cast<std::size_t>(kMoved) * slot);

    if (links.parent != kNoPosition) {
      IndexNode parent;
      if (!ReadNode(links.parent, parent)) return false;
      AppendNode(right);
      if (isLeaf && right.links.next == kNoPosition) lastLeaf_ = right.links.self;
      if (!Reparent(right)) return false;
      if (links.next != kNoPosition) {
        NodeLinks neighbour;
        if (!ReadLinks(links.next, neighbour)) return false;
        neighbour.previous = right.links.self;
        WriteLinks(neighbour);
      }
      links.next = right.links.self;
      WriteNode(node);
      carried.assign(node.Key(kKeep - 1, shape_), node.Key(kKeep - 1, shape_) + slot);
      carriedRecord = 0;
      leftChild = links.self;
      rightChild = right.links.self;
      p = InsertionIndex(parent, carried.data());
      node = std::move(parent);
      continue;
    }

    // N was the root: a new root above N and S.
    IndexNode newRoot = EmptyNode(shape_);
    newRoot.links.count = 2;
    const std::int32_t rootPosition = static_cast<std::int32_t>(store_.Size());
    const std::int32_t rightPosition = rootPosition + shape_.nodeSize;
    std::memcpy(newRoot.Key(0, shape_), node.Key(kKeep - 1, shape_), slot);
    std::memcpy(newRoot.Key(1, shape_), right.Key(kMoved - 1, shape_), slot);
    newRoot.links.children[0] = links.self;
    newRoot.links.children[1] = rightPosition;
    AppendNode(newRoot);
    root_ = rootPosition;
    right.links.parent = rootPosition;
    AppendNode(right);
    if (isLeaf && right.links.next == kNoPosition) lastLeaf_ = right.links.self;
    if (!Reparent(right)) return false;
    links.parent = rootPosition;
    links.next = right.links.self;
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
