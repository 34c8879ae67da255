// CRecordTable: walking a key's order with First, Next and Last.
#include <algorithm>
#include <cstring>

#include "recorddb/error_texts.h"
#include "recorddb/key_tree.h"
#include "recorddb/little_endian.h"
#include "recorddb/record_table.h"
#include "recorddb/table_store.h"

namespace quorvel::recorddb {

bool CRecordTable::CanWalk(int key) const {
  return open_ && ready_ && header_.recordCount >= 1 && key >= 0 && key < header_.keyCount;
}

bool CRecordTable::ReadRecordAt(std::int32_t position, std::vector<std::uint8_t>& image) {
  image.resize(static_cast<std::size_t>(layout_.recordSize));
  if (position < kHeaderSize) return false;
  if (header_.storageForm == kFullImageRecords) {
    return store_->Read(position, image.data(), image.size());
  }
  std::uint8_t lengthWord[2];
  if (!store_->Read(position, lengthWord, sizeof lengthWord)) return false;
  const std::int16_t length = LoadI16(lengthWord);
  if (length < 2) return false;
  const std::size_t size = static_cast<std::size_t>(length - 2);
  // Unpacked straight from the cached page when the record lies in one.
  if (const std::uint8_t* packed = store_->View(position + 2, size)) {
    return UnpackCompactRecord(layout_, packed, size, image.data());
  }
  static thread_local std::vector<std::uint8_t> packed;
  packed.resize(size);
  if (!store_->Read(position + 2, packed.data(), packed.size())) return false;
  return UnpackCompactRecord(layout_, packed.data(), packed.size(), image.data());
}

CRecordTable::SkipResult CRecordTable::SkipRemoved(int key, Cursor& cursor, NodeLinks& links, bool forward) {
  KeyTree& tree = *trees_[key];
  for (;;) {
    if (cursor.entry >= 0 && cursor.entry < links.count) {
      if (links.records[cursor.entry] >= 0) {
        cursor.record = links.records[cursor.entry];
        return SkipResult::kFound;
      }
      cursor.entry += forward ? 1 : -1;
      continue;
    }
    const std::int32_t neighbour = forward ? links.next : links.previous;
    if (neighbour == kNoPosition) return SkipResult::kNone;
    if (!leafGuards_[key].Step(neighbour) || !tree.ReadLinks(neighbour, links)) return SkipResult::kDamaged;
    cursor.node = neighbour;
    cursor.entry = forward ? 0 : links.count - 1;
  }
}

bool CRecordTable::EnterChain(int key, Cursor& cursor, bool atEnd) {
  cursor.block = kNoPosition;
  cursor.chain = DuplicateBlock();
  if (header_.keyKinds[key] != kkDuplicates) return true;
  KeyTree& tree = *trees_[key];
  if (!tree.IsBlockAt(cursor.record)) return true;
  std::int32_t position = cursor.record;
  DuplicateBlock block;
  if (!tree.ReadBlock(position, block)) return false;
  if (atEnd && block.lastOrSelf >= 0 && block.lastOrSelf != position) {
    position = block.lastOrSelf;
    if (!tree.ReadBlock(position, block)) return false;
  }
  cursor.block = position;
  cursor.chain = block;
  cursor.record = block.record;
  return true;
}

bool CRecordTable::LandOn(int key, const Cursor& cursor, void* destination, std::size_t length) {
  if (!ReadRecordAt(cursor.record, scratchRecord_)) return Damaged();
  cursors_[key] = cursor;
  activeKey_ = key;
  currentRecord_.swap(scratchRecord_);
  editIsCurrent_ = true;
  if (destination != nullptr) {
    const std::size_t size = currentRecord_.size();
    std::memcpy(destination, currentRecord_.data(), length == 0 ? size : std::min(length, size));
  }
  return true;
}

bool CRecordTable::First(int key, void* destination, std::size_t length) {
  if (!CanWalk(key) || header_.firstLeaves[key] == kNoPosition) return false;
  Cursor cursor;
  cursor.node = header_.firstLeaves[key];
  cursor.entry = 0;
  if (!trees_[key]->ReadLinks(cursor.node, cachedLinks_)) {
    cachedNode_ = kNoPosition;
    return Damaged();
  }
  cachedNode_ = cursor.node;
  leafGuards_[key].Reset(cursor.node);
  const SkipResult skipped = SkipRemoved(key, cursor, cachedLinks_, true);
  cachedNode_ = skipped == SkipResult::kDamaged ? kNoPosition : cursor.node;
  if (skipped != SkipResult::kFound) return skipped == SkipResult::kNone ? false : Damaged();
  if (!EnterChain(key, cursor, false)) return Damaged();
  chainGuards_[key].Reset(cursor.block);
  return LandOn(key, cursor, destination, length);
}

bool CRecordTable::Last(int key, void* destination, std::size_t length) {
  if (!CanWalk(key) || header_.lastLeaves[key] == kNoPosition) return false;
  Cursor cursor;
  cursor.node = header_.lastLeaves[key];
  if (!trees_[key]->ReadLinks(cursor.node, cachedLinks_)) {
    cachedNode_ = kNoPosition;
    return Damaged();
  }
  cursor.entry = cachedLinks_.count - 1;
  leafGuards_[key].Reset(cursor.node);
  const SkipResult skipped = SkipRemoved(key, cursor, cachedLinks_, false);
  cachedNode_ = skipped == SkipResult::kDamaged ? kNoPosition : cursor.node;
  if (skipped != SkipResult::kFound) return skipped == SkipResult::kNone ? false : Damaged();
  if (!EnterChain(key, cursor, true)) return Damaged();
  chainGuards_[key].Reset(cursor.block);
  return LandOn(key, cursor, destination, length);
}

bool CRecordTable::Next(int key, void* destination, std::size_t length) {
  if (!CanWalk(key) || cursors_[key].node == kNoPosition) return false;
  KeyTree& tree = *trees_[key];
  Cursor cursor = cursors_[key];

  if (header_.keyKinds[key] == kkDuplicates && cursor.block >= 0 && cursor.chain.record >= 0 &&
      cursor.chain.next >= 0) {
    const std::int32_t position = cursor.chain.next;
    DuplicateBlock block;
    if (!chainGuards_[key].Step(position) || !tree.ReadBlock(position, block)) return Damaged();
    cursor.block = position;
    cursor.chain = block;
    cursor.record = block.record;
    return LandOn(key, cursor, destination, length);
  }

  if (!(key == activeKey_ && cachedNode_ == cursor.node)) {
    if (!tree.ReadLinks(cursor.node, cachedLinks_)) {
      cachedNode_ = kNoPosition;
      return Damaged();
    }
    cachedNode_ = cursor.node;
  }
  cursor.entry += 1;
  const SkipResult skipped = SkipRemoved(key, cursor, cachedLinks_, true);
  // The cache holds whichever leaf the skipping read last.
  cachedNode_ = skipped == SkipResult::kDamaged ? kNoPosition : cursor.node;
  if (skipped == SkipResult::kDamaged) return Damaged();
  if (skipped == SkipResult::kNone) return false;
  if (!EnterChain(key, cursor, false)) return Damaged();
  chainGuards_[key].Reset(cursor.block);
  return LandOn(key, cursor, destination, length);
}

}  // namespace quorvel::recorddb
