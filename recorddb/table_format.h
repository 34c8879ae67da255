// The byte layout of a table file: the 15472-byte TableHeader, the compact
// record, the IndexNode of a key's B+ tree and the DuplicateBlock of a chain
// of equal keys, with the codes FieldType, KeyKind and CompareMode.
//
// Each structure here is the decoded form of its bytes; Encode/Decode turn it
// into and out of little-endian bytes field by field, so nothing depends on
// the host's byte order, alignment or padding. A file position is an int32
// byte offset from the start of the file, kNoPosition (-1) for none.
//
// Namespace: everything of the record database lives in quorvel::recorddb.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::recorddb {

// ---- Codes -----------------------------------------------------------------

enum FieldType : std::int16_t {
  ftShort = 1,    // int16
  ftLong = 2,     // int32
  ftFloat = 3,    // IEEE 754 single
  ftDouble = 4,   // IEEE 754 double
  ftText = 5,     // declared width 1..1024, NUL-terminated when shorter
  ftByte = 6,     // unsigned byte
  ftBlank8 = 7,   // eight bytes, always zero
  ftAutoInc = 8,  // int32 numbered by Append
};

enum KeyKind : std::int16_t {
  kkDuplicates = 1,  // equal values allowed, kept in a duplicate chain
  kkUnique = 2,      // a second live equal value is refused
};

enum CompareMode : std::int16_t {
  cmExact = 1,   // unsigned bytes up to the first NUL
  cmNoCase = 2,  // the same with A..Z folded to a..z
};

// ---- Limits and sizes --------------------------------------------------------

inline constexpr std::int32_t kNoPosition = -1;
inline constexpr int kHeaderSize = 15472;
inline constexpr int kMaxFields = 128;
inline constexpr int kMaxKeys = 10;
inline constexpr int kMaxKeyParts = 128;
inline constexpr int kNameSlot = 32;  // 31 characters and a NUL
inline constexpr int kMaxNameLength = kNameSlot - 1;
inline constexpr int kMinTextWidth = 1;
inline constexpr int kMaxTextWidth = 1024;
inline constexpr int kMaxTextKeyLength = 128;
inline constexpr int kDescriptionSlot = 60;
inline constexpr int kVersionSlot = 10;
inline constexpr std::int32_t kMaxRecordSize = kMaxFields * kMaxTextWidth;
// The length word of a compact record is an int16.
inline constexpr std::int32_t kMaxCompactRecordLength = 32767;

inline constexpr char kSignature[] = "Vyrd,Signature_Tavrin";
inline constexpr char kFormatVersion[] = "2.60";

// Fixed width of a field type, or 0 for ftText (declared) and unknown codes.
int FixedFieldWidth(int type);
bool IsKnownFieldType(int type);

// ---- TableHeader -------------------------------------------------------------

namespace header_offset {
inline constexpr int kSignature = 0;
inline constexpr int kRecordSize = 32;
inline constexpr int kRecordCount = 36;
inline constexpr int kFieldNames = 40;
inline constexpr int kFieldTypes = 4136;
inline constexpr int kFieldWidths = 4392;
inline constexpr int kFieldCount = 4648;
inline constexpr int kKeyNames = 4650;
inline constexpr int kKeyKinds = 4970;
inline constexpr int kPartFields = 4990;
inline constexpr int kPartCompares = 7550;
inline constexpr int kPartStarts = 10110;
inline constexpr int kPartLengths = 12670;
inline constexpr int kPartCounts = 15230;
inline constexpr int kKeyCount = 15250;
inline constexpr int kRoots = 15252;
inline constexpr int kFirstLeaves = 15292;
inline constexpr int kLastLeaves = 15332;
inline constexpr int kFreeRecordHead = 15372;
inline constexpr int kFreeNodeHead = 15376;
inline constexpr int kStorageForm = 15380;
inline constexpr int kDescription = 15382;
inline constexpr int kVersion = 15442;
inline constexpr int kReservedInt = 15452;
inline constexpr int kReservedBytes = 15456;
inline constexpr int kPartStride = 256;  // 128 parts x int16 per key
}  // namespace header_offset

// Storage form at offset 15380: full in-memory images, or compact records.
inline constexpr std::int16_t kFullImageRecords = -1;
inline constexpr std::int16_t kCompactRecords = 0;
// Part count of a key described by part 0 alone.
inline constexpr std::int16_t kSingleFieldKey = -1;

struct KeyPart {
  std::int16_t field = 0;
  std::int16_t compare = 0;  // CompareMode for text parts, 0 otherwise
  std::int16_t start = 0;
  std::int16_t length = 0;
};

struct TableHeader {
  TableHeader();  // the image of a newly constructed table: no schema, -1 roots

  std::string signature;
  std::int32_t recordSize = 0;
  std::int32_t recordCount = 0;
  std::array<std::string, kMaxFields> fieldNames;
  std::array<std::int16_t, kMaxFields> fieldTypes{};
  std::array<std::int16_t, kMaxFields> fieldWidths{};
  std::int16_t fieldCount = 0;
  std::array<std::string, kMaxKeys> keyNames;
  std::array<std::int16_t, kMaxKeys> keyKinds{};
  std::array<std::array<KeyPart, kMaxKeyParts>, kMaxKeys> keyParts{};
  std::array<std::int16_t, kMaxKeys> partCounts{};
  std::int16_t keyCount = 0;
  std::array<std::int32_t, kMaxKeys> roots{};
  std::array<std::int32_t, kMaxKeys> firstLeaves{};
  std::array<std::int32_t, kMaxKeys> lastLeaves{};
  std::int32_t freeRecordHead = kNoPosition;
  std::int32_t freeNodeHead = kNoPosition;
  std::int16_t storageForm = kCompactRecords;
  std::string description;
  std::string version;
  std::int32_t reservedInt = kNoPosition;
  std::array<std::uint8_t, 16> reservedBytes{};
};

// Writes exactly kHeaderSize bytes. Texts longer than their slot are cut so
// that a NUL always ends them inside the slot.
void EncodeHeader(const TableHeader& header, std::uint8_t* out);
// Reads exactly kHeaderSize bytes. Texts end at their first NUL or at the
// end of their slot.
TableHeader DecodeHeader(const std::uint8_t* bytes);

// ---- Records -----------------------------------------------------------------

struct FieldLayout {
  std::int16_t type = 0;
  std::int32_t width = 0;
  std::int32_t offset = 0;  // inside the in-memory record
};

// Where each field lies in the in-memory record image (fields in order, each
// at the sum of the widths before it). Values in the image are little-endian,
// exactly as a full-image record is stored in the file.
struct RecordLayout {
  std::vector<FieldLayout> fields;
  std::int32_t recordSize = 0;
};

// Packs a record image into the compact form: an int16 total length, then
// the fields in order (ftText as int16 n and its n bytes up to the first NUL).
// Returns false, leaving `out` unspecified, when the packed length does not
// fit the int16 length word.
bool PackCompactRecord(const RecordLayout& layout, const std::uint8_t* image, std::vector<std::uint8_t>& out);

// Unpacks the `size` bytes after the length word of a compact record into a
// zero-filled image of layout.recordSize bytes. Returns false for a record
// that does not fit: a field running past `size`, or a text length that is
// negative or beyond its field's width.
bool UnpackCompactRecord(const RecordLayout& layout, const std::uint8_t* data, std::size_t size,
                         std::uint8_t* image);

// ---- IndexNode ---------------------------------------------------------------

inline constexpr int kNodeSlots = 201;  // 200 written, one more before a split
inline constexpr int kMaxNodeEntries = 200;
inline constexpr int kNodeLinksSize = 1628;  // the part common to all key types

namespace node_offset {
inline constexpr int kCount = 0;
inline constexpr int kChildren = 4;
inline constexpr int kRecords = 808;
inline constexpr int kParent = 1612;
inline constexpr int kSelf = 1616;
inline constexpr int kPrevious = 1620;
inline constexpr int kNext = 1624;
inline constexpr int kKeys = 1628;
inline constexpr int kKeysAfterFiller = 1632;  // ftDouble and ftText keys
}  // namespace node_offset

// The size of one key slot, where the slots start and the whole node size,
// for the type of a key's field (and, for text keys, the part length).
struct NodeShape {
  int keySlot = 0;
  int keysOffset = 0;
  int nodeSize = 0;
};
// Zero shape for a field type that cannot be a key.
NodeShape NodeShapeFor(int fieldType, int textPartLength);

// The common part of a node: counts, children, records and level links.
struct NodeLinks {
  std::int32_t count = 0;
  std::array<std::int32_t, kNodeSlots> children{};
  std::array<std::int32_t, kNodeSlots> records{};
  std::int32_t parent = kNoPosition;
  std::int32_t self = kNoPosition;
  std::int32_t previous = kNoPosition;
  std::int32_t next = kNoPosition;
};

struct IndexNode {
  NodeLinks links;
  std::vector<std::uint8_t> keys;  // kNodeSlots slots of shape.keySlot bytes

  std::uint8_t* Key(int i, const NodeShape& shape) { return keys.data() + i * shape.keySlot; }
  const std::uint8_t* Key(int i, const NodeShape& shape) const { return keys.data() + i * shape.keySlot; }
};

void EncodeNodeLinks(const NodeLinks& links, std::uint8_t* out);  // kNodeLinksSize bytes
void DecodeNodeLinks(const std::uint8_t* bytes, NodeLinks& links);
// Whole node of shape.nodeSize bytes; fillers and unused slots written as zero.
void EncodeNode(const IndexNode& node, const NodeShape& shape, std::uint8_t* out);
void DecodeNode(const std::uint8_t* bytes, const NodeShape& shape, IndexNode& node);

// ---- DuplicateBlock ----------------------------------------------------------

inline constexpr int kDuplicateBlockSize = 24;
inline constexpr char kDuplicateTag[] = "fDUPKEY";  // 7 characters and a NUL

struct DuplicateBlock {
  std::int32_t record = kNoPosition;
  std::int32_t next = kNoPosition;
  std::int32_t previous = kNoPosition;
  // In the head block the chain's last block; in the others the block itself.
  std::int32_t lastOrSelf = kNoPosition;
};

void EncodeDuplicateBlock(const DuplicateBlock& block, std::uint8_t* out);  // 24 bytes
// True when the bytes start with the seven characters of kDuplicateTag.
bool IsDuplicateBlock(const std::uint8_t* bytes, std::size_t size);
DuplicateBlock DecodeDuplicateBlock(const std::uint8_t* bytes);

}  // namespace quorvel::recorddb
