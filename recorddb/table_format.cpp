#include "recorddb/table_format.h"

#include <algorithm>
#include <cstring>

#include "recorddb/little_endian.h"

namespace quorvel::recorddb {
namespace {

void StoreText(std::uint8_t* slot, int slotSize, const std::string& text) {
  std::memset(slot, 0, static_cast<std::size_t>(slotSize));
  std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(slotSize - 1));
  std::memcpy(slot, text.data(), n);
}

std::string LoadText(const std::uint8_t* slot, int slotSize) {
  const auto* end = static_cast<const std::uint8_t*>(std::memchr(slot, 0, static_cast<std::size_t>(slotSize)));
  std::size_t n = end ? static_cast<std::size_t>(end - slot) : static_cast<std::size_t>(slotSize);
  return std::string(reinterpret_cast<const char*>(slot), n);
}

}  // namespace

int FixedFieldWidth(int type) {
  switch (type) {
    case ftShort: return 2;
    case ftLong: case ftFloat: case ftAutoInc: return 4;
    case ftDouble: case ftBlank8: return 8;
    case ftByte: return 1;
    default: return 0;
  }
}

bool IsKnownFieldType(int type) { return type >= ftShort && type <= ftAutoInc; }

TableHeader::TableHeader() {
  roots.fill(kNoPosition);
  firstLeaves.fill(kNoPosition);
  lastLeaves.fill(kNoPosition);
}

void EncodeHeader(const TableHeader& h, std::uint8_t* out) {
  namespace o = header_offset;
  std::memset(out, 0, kHeaderSize);
  StoreText(out + o::kSignature, 32, h.signature);
  StoreI32(out + o::kRecordSize, h.recordSize);
  StoreI32(out + o::kRecordCount, h.recordCount);
  for (int i = 0; i < kMaxFields; ++i) {
    StoreText(out + o::kFieldNames + kNameSlot * i, kNameSlot, h.fieldNames[i]);
    StoreI16(out + o::kFieldTypes + 2 * i, h.fieldTypes[i]);
    StoreI16(out + o::kFieldWidths + 2 * i, h.fieldWidths[i]);
  }
  StoreI16(out + o::kFieldCount, h.fieldCount);
  for (int k = 0; k < kMaxKeys; ++k) {
    StoreText(out + o::kKeyNames + kNameSlot * k, kNameSlot, h.keyNames[k]);
    StoreI16(out + o::kKeyKinds + 2 * k, h.keyKinds[k]);
    for (int j = 0; j < kMaxKeyParts; ++j) {
      const KeyPart& part = h.keyParts[k][j];
      const int at = o::kPartStride * k + 2 * j;
      StoreI16(out + o::kPartFields + at, part.field);
      StoreI16(out + o::kPartCompares + at, part.compare);
      StoreI16(out + o::kPartStarts + at, part.start);
      StoreI16(out + o::kPartLengths + at, part.length);
    }
    StoreI16(out + o::kPartCounts + 2 * k, h.partCounts[k]);
    StoreI32(out + o::kRoots + 4 * k, h.roots[k]);
    StoreI32(out + o::kFirstLeaves + 4 * k, h.firstLeaves[k]);
    StoreI32(out + o::kLastLeaves + 4 * k, h.lastLeaves[k]);
  }
  StoreI16(out + o::kKeyCount, h.keyCount);
  StoreI32(out + o::kFreeRecordHead, h.freeRecordHead);
  StoreI32(out + o::kFreeNodeHead, h.freeNodeHead);
  StoreI16(out + o::kStorageForm, h.storageForm);
  StoreText(out + o::kDescription, kDescriptionSlot, h.description);
  StoreText(out + o::kVersion, kVersionSlot, h.version);
  StoreI32(out + o::kReservedInt, h.reservedInt);
  std::memcpy(out + o::kReservedBytes, h.reservedBytes.data(), h.reservedBytes.size());
}

TableHeader DecodeHeader(const std::uint8_t* in) {
  namespace o = header_offset;
  TableHeader h;
  h.signature = LoadText(in + o::kSignature, 32);
  h.recordSize = LoadI32(in + o::kRecordSize);
  h.recordCount = LoadI32(in + o::kRecordCount);
  for (int i = 0; i < kMaxFields; ++i) {
    h.fieldNames[i] = LoadText(in + o::kFieldNames + kNameSlot * i, kNameSlot);
    h.fieldTypes[i] = LoadI16(in + o::kFieldTypes + 2 * i);
    h.fieldWidths[i] = LoadI16(in + o::kFieldWidths + 2 * i);
  }
  h.fieldCount = LoadI16(in + o::kFieldCount);
  for (int k = 0; k < kMaxKeys; ++k) {
    h.keyNames[k] = LoadText(in + o::kKeyNames + kNameSlot * k, kNameSlot);
    h.keyKinds[k] = LoadI16(in + o::kKeyKinds + 2 * k);
    for (int j = 0; j < kMaxKeyParts; ++j) {
      KeyPart& part = h.keyParts[k][j];
      const int at = o::kPartStride * k + 2 * j;
      part.field = LoadI16(in + o::kPartFields + at);
      part.compare = LoadI16(in + o::kPartCompares + at);
      part.start = LoadI16(in + o::kPartStarts + at);
      part.length = LoadI16(in + o::kPartLengths + at);
    }
    h.partCounts[k] = LoadI16(in + o::kPartCounts + 2 * k);
    h.roots[k] = LoadI32(in + o::kRoots + 4 * k);
    h.firstLeaves[k] = LoadI32(in + o::kFirstLeaves + 4 * k);
    h.lastLeaves[k] = LoadI32(in + o::kLastLeaves + 4 * k);
  }
  h.keyCount = LoadI16(in + o::kKeyCount);
  h.freeRecordHead = LoadI32(in + o::kFreeRecordHead);
  h.freeNodeHead = LoadI32(in + o::kFreeNodeHead);
  h.storageForm = LoadI16(in + o::kStorageForm);
  h.description = LoadText(in + o::kDescription, kDescriptionSlot);
  h.version = LoadText(in + o::kVersion, kVersionSlot);
  h.reservedInt = LoadI32(in + o::kReservedInt);
  std::memcpy(h.reservedBytes.data(), in + o::kReservedBytes, h.reservedBytes.size());
  return h;
}

bool PackCompactRecord(const RecordLayout& layout, const std::uint8_t* image, std::vector<std::uint8_t>& out) {
  out.resize(2);
  for (const FieldLayout& field : layout.fields) {
    const std::uint8_t* value = image + field.offset;
    if (field.type == ftText) {
      const void* nul = std::memchr(value, 0, static_cast<std::size_t>(field.width));
      std::size_t n = nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - value)
                          : static_cast<std::size_t>(field.width);
      std::size_t at = out.size();
      out.resize(at + 2 + n);
      StoreI16(out.data() + at, static_cast<std::int16_t>(n));
      std::memcpy(out.data() + at + 2, value, n);
    } else {
      out.insert(out.end(), value, value + field.width);
    }
  }
  if (out.size() > static_cast<std::size_t>(kMaxCompactRecordLength)) return false;
  StoreI16(out.data(), static_cast<std::int16_t>(out.size()));
  return true;
}

bool UnpackCompactRecord(const RecordLayout& layout, const std::uint8_t* data, std::size_t size,
                         std::uint8_t* image) {
  // Every byte of the image is written once: values, then zero padding.
  std::size_t at = 0;
  for (const FieldLayout& field : layout.fields) {
    std::uint8_t* out = image + field.offset;
    const std::size_t width = static_cast<std::size_t>(field.width);
    if (field.type == ftText) {
      if (size - at < 2) return false;
      const std::int16_t n = LoadI16(data + at);
      at += 2;
      if (n < 0 || static_cast<std::size_t>(n) > width || size - at < static_cast<std::size_t>(n)) return false;
      std::memcpy(out, data + at, static_cast<std::size_t>(n));
      std::memset(out + n, 0, width - static_cast<std::size_t>(n));
      at += static_cast<std::size_t>(n);
      continue;
    }
    if (size - at < width) return false;
    switch (width) {
      case 1: out[0] = data[at]; break;
      case 2: std::memcpy(out, data + at, 2); break;
      case 4: std::memcpy(out, data + at, 4); break;
      default: std::memcpy(out, data + at, 8); break;
    }
    at += width;
  }
  return true;
}

NodeShape NodeShapeFor(int fieldType, int textPartLength) {
  switch (fieldType) {
    case ftByte: return {1, node_offset::kKeys, 1832};
    case ftShort: return {2, node_offset::kKeys, 2032};
    case ftLong: case ftAutoInc: case ftFloat: return {4, node_offset::kKeys, 2432};
    case ftDouble: return {8, node_offset::kKeysAfterFiller, 3240};
    case ftText:
      if (textPartLength < 1 || textPartLength > kMaxTextKeyLength) return {};
      return {textPartLength + 1, node_offset::kKeysAfterFiller,
              node_offset::kKeysAfterFiller + kNodeSlots * (textPartLength + 1)};
    default: return {};
  }
}

void EncodeNodeLinks(const NodeLinks& links, std::uint8_t* out) {
  StoreI32(out + node_offset::kCount, links.count);
  for (int i = 0; i < kNodeSlots; ++i) {
    StoreI32(out + node_offset::kChildren + 4 * i, links.children[i]);
    StoreI32(out + node_offset::kRecords + 4 * i, links.records[i]);
  }
  StoreI32(out + node_offset::kParent, links.parent);
  StoreI32(out + node_offset::kSelf, links.self);
  StoreI32(out + node_offset::kPrevious, links.previous);
  StoreI32(out + node_offset::kNext, links.next);
}

void DecodeNodeLinks(const std::uint8_t* in, NodeLinks& links) {
  links.count = LoadI32(in + node_offset::kCount);
  for (int i = 0; i < kNodeSlots; ++i) {
    links.children[i] = LoadI32(in + node_offset::kChildren + 4 * i);
    links.records[i] = LoadI32(in + node_offset::kRecords + 4 * i);
  }
  links.parent = LoadI32(in + node_offset::kParent);
  links.self = LoadI32(in + node_offset::kSelf);
  links.previous = LoadI32(in + node_offset::kPrevious);
  links.next = LoadI32(in + node_offset::kNext);
}

void EncodeNode(const IndexNode& node, const NodeShape& shape, std::uint8_t* out) {
  EncodeNodeLinks(node.links, out);
  std::memset(out + kNodeLinksSize, 0, static_cast<std::size_t>(shape.nodeSize - kNodeLinksSize));
  std::memcpy(out + shape.keysOffset, node.keys.data(), static_cast<std::size_t>(kNodeSlots * shape.keySlot));
}

void DecodeNode(const std::uint8_t* in, const NodeShape& shape, IndexNode& node) {
  DecodeNodeLinks(in, node.links);
  node.keys.assign(in + shape.keysOffset, in + shape.keysOffset + kNodeSlots * shape.keySlot);
}

void EncodeDuplicateBlock(const DuplicateBlock& block, std::uint8_t* out) {
  std::memcpy(out, kDuplicateTag, 8);
  StoreI32(out + 8, block.record);
  StoreI32(out + 12, block.next);
  StoreI32(out + 16, block.previous);
  StoreI32(out + 20, block.lastOrSelf);
}

bool IsDuplicateBlock(const std::uint8_t* bytes, std::size_t size) {
  return size >= 7 && std::memcmp(bytes, kDuplicateTag, 7) == 0;
}

DuplicateBlock DecodeDuplicateBlock(const std::uint8_t* in) {
  return {LoadI32(in + 8), LoadI32(in + 12), LoadI32(in + 16), LoadI32(in + 20)};
}

}  // namespace quorvel::recorddb
