// CRecordTable: declaring the schema, creating, opening and closing files.
#include <cstdio>
#include <exception>

#include "platform/table_file.h"
#include "recorddb/error_texts.h"
#include "recorddb/key_tree.h"
#include "recorddb/record_table.h"
#include "recorddb/table_store.h"

namespace quorvel::recorddb {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// Lower-cases ASCII letters only, so bytes of multi-byte characters are kept.
std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string Format(const char* format, int a) {
  char text[64];
  std::snprintf(text, sizeof text, format, a);
  return text;
}

std::string Format(const char* format, int a, int b) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

CRecordTable::CRecordTable() : CRecordTable(platform::LocalFileOpener()) {}

CRecordTable::CRecordTable(platform::FileOpener& opener) : opener_(&opener) { ResetState(); }

CRecordTable::~CRecordTable() {
  try {
    Close();
  } catch (const std::exception&) {
    // A destructor cannot report; callers that care call Close themselves.
  }
}

bool CRecordTable::AddField(const std::string& rawName, int type, int width) {
  if (open_) {
    SetError(error_text::kMustDoBeforeCreate);
    return false;
  }
  if (header_.fieldCount >= kMaxFields) {
    SetError(Format(error_text::kFieldCountFormat, kMaxFields));
    // The keys name fields of the list that is dropped, so they go with it.
    ResetState();
    SetError(Format(error_text::kFieldCountFormat, kMaxFields));
    return false;
  }
  const std::string name = Trim(rawName);
  if (name.size() > static_cast<std::size_t>(kMaxNameLength)) {
    SetError(error_text::kNameTooLong);
    return false;
  }
  if (!IsKnownFieldType(type)) {
    SetError(error_text::kBadFieldType);
    return false;
  }
  const std::string lowered = Lower(name);
  for (int i = 0; i < header_.fieldCount; ++i) {
    if (Lower(header_.fieldNames[i]) == lowered) {
      SetError(error_text::kFieldNameExists);
      return false;
    }
  }
  if (type == ftAutoInc) {
    for (int i = 0; i < header_.fieldCount; ++i) {
      if (header_.fieldTypes[i] == ftAutoInc) {
        SetError(error_text::kTooManyAutoInc);
        return false;
      }
    }
  }
  if (type == ftText && (width < kMinTextWidth || width > kMaxTextWidth)) {
    SetError(Format(error_text::kFieldLengthFormat, kMinTextWidth, kMaxTextWidth));
    return false;
  }
  const int fieldNo = header_.fieldCount;
  header_.fieldNames[fieldNo] = name;
  header_.fieldTypes[fieldNo] = static_cast<std::int16_t>(type);
  header_.fieldWidths[fieldNo] = static_cast<std::int16_t>(type == ftText ? width : FixedFieldWidth(type));
  header_.fieldCount = static_cast<std::int16_t>(fieldNo + 1);
  if (type == ftAutoInc) {
    // The number needs its unique key; without a free key slot the field
    // stays all the same.
    CreateKey(name, kkUnique, fieldNo, 0, 0, -1);
  }
  return true;
}

bool CRecordTable::CreateKey(const std::string& rawName, int kind, int fieldNo, int compareMode, int start,
                             int length) {
  if (open_) {
    SetError(error_text::kMustDoBeforeCreate);
    return false;
  }
  if (header_.fieldCount <= 0) {
    SetError(error_text::kCreateFieldFirst);
    return false;
  }
  if (fieldNo < 0 || fieldNo >= header_.fieldCount) {
    SetError(Format(error_text::kFieldNoFormat, header_.fieldCount));
    return false;
  }
  if (header_.keyCount >= kMaxKeys) {
    SetError(Format(error_text::kKeyCountFormat, kMaxKeys));
    return false;
  }
  const std::string name = Trim(rawName);
  if (name.size() > static_cast<std::size_t>(kMaxNameLength)) {
    SetError(error_text::kNameTooLong);
    return false;
  }
  const std::string lowered = Lower(name);
  for (int k = 0; k < header_.keyCount; ++k) {
    if (Lower(header_.keyNames[k]) == lowered) {
      SetError(error_text::kKeyNameExists);
      return false;
    }
  }
  const int type = header_.fieldTypes[fieldNo];
  if (type == ftBlank8 || !IsKnownFieldType(type)) {
    SetError(error_text::kCannotBeKey);
    return false;
  }
  if (kind != kkDuplicates && kind != kkUnique) {
    SetError(error_text::kBadKeyKind);
    return false;
  }
  KeyPart part;
  part.field = static_cast<std::int16_t>(fieldNo);
  if (type == ftText) {
    const int width = header_.fieldWidths[fieldNo];
    part.start = static_cast<std::int16_t>(start >= 0 && start < width ? start : 0);
    part.length = static_cast<std::int16_t>(length >= 1 && length <= kMaxTextKeyLength
                                                ? length
                                                : std::min(width, kMaxTextKeyLength));
    part.compare = static_cast<std::int16_t>(compareMode == cmExact || compareMode == cmNoCase ? compareMode
                                                                                               : cmExact);
  } else {
    part.start = 0;
    part.length = static_cast<std::int16_t>(FixedFieldWidth(type));
    part.compare = 0;
  }
  const int key = header_.keyCount;
  header_.keyNames[key] = name;
  header_.keyKinds[key] = static_cast<std::int16_t>(kind);
  header_.keyParts[key][0] = part;
  header_.partCounts[key] = kSingleFieldKey;
  header_.keyCount = static_cast<std::int16_t>(key + 1);
  return true;
}

bool CRecordTable::Create(const std::string& path, const std::string& description) {
  if (open_) {
    SetError(error_text::kMustDoBeforeCreate);
    return false;
  }
  if (header_.keyCount <= 0) {
    SetError(error_text::kCreateKeyFirst);
    return false;
  }
  std::unique_ptr<platform::RandomAccessFile> file = opener_->Open(path, platform::FileOpenMode::kCreateExclusive);
  if (!file) {
    SetError(error_text::kCannotCreate);
    return false;
  }
  header_.signature = kSignature;
  header_.description = description.substr(0, kDescriptionSlot - 1);
  header_.version = kFormatVersion;
  header_.recordCount = 0;
  header_.freeRecordHead = kNoPosition;
  header_.freeNodeHead = kNoPosition;
  header_.storageForm = kCompactRecords;
  header_.reservedInt = kNoPosition;
  header_.reservedBytes.fill(0);
  std::int32_t recordSize = 0;
  for (int i = 0; i < header_.fieldCount; ++i) {
    recordSize += header_.fieldWidths[i];
  }
  header_.recordSize = recordSize;
  for (int k = 0; k < kMaxKeys; ++k) {
    header_.roots[k] = header_.firstLeaves[k] = header_.lastLeaves[k] = kNoPosition;
  }

  store_ = std::make_unique<TableStore>(std::move(file));
  open_ = true;
  ready_ = true;
  readOnly_ = false;
  WriteHeader();
  store_->Flush();
  BuildLayouts();
  AllocateRecords();
  return true;
}

bool CRecordTable::Open(const std::string& path, AccessMode mode) {
  Close();
  std::unique_ptr<platform::RandomAccessFile> file = opener_->Open(
      path, mode == AccessMode::kReadOnly ? platform::FileOpenMode::kReadOnly : platform::FileOpenMode::kReadWrite);
  if (!file) {
    SetError(error_text::kCannotOpen);
    return false;
  }
  auto store = std::make_unique<TableStore>(std::move(file));
  std::vector<std::uint8_t> bytes(kHeaderSize);
  if (!store->Read(0, bytes.data(), bytes.size())) {
    store->Close();
    SetError(error_text::kDamaged);
    return false;
  }
  header_ = DecodeHeader(bytes.data());
  const std::int64_t fileSize = store->Size();
  if (!HeaderDescribesTable(fileSize)) {
    store->Close();
    ResetState();
    SetError(error_text::kDamaged);
    return false;
  }
  store_ = std::move(store);
  open_ = true;
  readOnly_ = mode == AccessMode::kReadOnly;
  BuildLayouts();
  AllocateRecords();
  if (header_.keyCount <= 0) {
    SetError(error_text::kKeyNotFound);
    return false;
  }
  ready_ = true;
  return true;
}

bool CRecordTable::Close() {
  std::exception_ptr failure;
  if (open_ && store_) {
    try {
      if (headerChanged_) WriteHeader();
      store_->Close();
    } catch (...) {
      failure = std::current_exception();
    }
  }
  ResetState();
  if (failure) std::rethrow_exception(failure);
  return true;
}

void CRecordTable::ResetState() {
  trees_.clear();
  store_.reset();
  open_ = ready_ = readOnly_ = headerChanged_ = false;
  errorText_.clear();
  valueText_.clear();
  header_ = TableHeader();
  layout_ = RecordLayout();
  currentRecord_.clear();
  editRecord_.clear();
  scratchRecord_.clear();
  editIsCurrent_ = false;
  lastNumber_ = kUnknownNumber;
  activeKey_ = -1;
  cursors_.fill(Cursor());
  cachedNode_ = kNoPosition;
}

void CRecordTable::WriteHeader() {
  std::vector<std::uint8_t> bytes(kHeaderSize);
  EncodeHeader(header_, bytes.data());
  store_->Write(0, bytes.data(), bytes.size());
}

bool CRecordTable::HeaderDescribesTable(std::int64_t fileSize) const {
  const TableHeader& h = header_;
  if (h.fieldCount < 1 || h.fieldCount > kMaxFields) return false;
  std::int64_t recordSize = 0;
  for (int i = 0; i < h.fieldCount; ++i) {
    const int type = h.fieldTypes[i];
    const int width = h.fieldWidths[i];
    if (!IsKnownFieldType(type)) return false;
    if (type == ftText ? (width < kMinTextWidth || width > kMaxTextWidth) : width != FixedFieldWidth(type)) {
      return false;
    }
    recordSize += width;
  }
  if (h.recordSize <= 0 || h.recordSize > kMaxRecordSize || recordSize != h.recordSize) return false;
  if (h.recordCount < 0 || h.keyCount > kMaxKeys) return false;
  return KeysDescribeTrees(fileSize);
}

bool CRecordTable::KeysDescribeTrees(std::int64_t fileSize) const {
  const TableHeader& h = header_;
  for (int k = 0; k < h.keyCount; ++k) {
    if (h.keyKinds[k] != kkDuplicates && h.keyKinds[k] != kkUnique) return false;
    // Keys of several parts are not made here; one part alone is the same
    // as a single-field key.
    if (h.partCounts[k] != kSingleFieldKey && h.partCounts[k] != 1) return false;
    const KeyPart& part = h.keyParts[k][0];
    if (part.field < 0 || part.field >= h.fieldCount) return false;
    const int type = h.fieldTypes[part.field];
    const int width = h.fieldWidths[part.field];
    if (type == ftBlank8) return false;
    if (type == ftText) {
      if (part.start < 0 || part.start >= width) return false;
      if (part.length < 1 || part.length > kMaxTextKeyLength) return false;
      if (part.compare != cmExact && part.compare != cmNoCase) return false;
    } else if (part.start != 0 || part.length != width) {
      return false;
    }
    // An empty tree has no root and no leaves; a tree has all three, each a
    // whole node inside the file past the header.
    const NodeShape shape = NodeShapeFor(type, part.length);
    const std::int32_t ends[] = {h.roots[k], h.firstLeaves[k], h.lastLeaves[k]};
    const bool empty = h.roots[k] == kNoPosition;
    for (std::int32_t position : ends) {
      if (empty ? position != kNoPosition
                : (position < kHeaderSize || position + static_cast<std::int64_t>(shape.nodeSize) > fileSize)) {
        return false;
      }
    }
  }
  return true;
}

void CRecordTable::BuildLayouts() {
  layout_ = RecordLayout();
  std::int32_t offset = 0;
  for (int i = 0; i < header_.fieldCount; ++i) {
    FieldLayout field;
    field.type = header_.fieldTypes[i];
    field.width = header_.fieldWidths[i];
    field.offset = offset;
    offset += field.width;
    layout_.fields.push_back(field);
  }
  layout_.recordSize = offset;
  trees_.clear();
  for (int k = 0; k < header_.keyCount && k < kMaxKeys; ++k) {
    const KeyPart& part = header_.keyParts[k][0];
    const int type = part.field >= 0 && part.field < header_.fieldCount ? header_.fieldTypes[part.field] : 0;
    trees_.push_back(std::make_unique<KeyTree>(*store_, type, part.compare, part.length, header_.roots[k],
                                               header_.firstLeaves[k], header_.lastLeaves[k]));
  }
}

void CRecordTable::AllocateRecords() {
  currentRecord_.assign(static_cast<std::size_t>(layout_.recordSize), 0);
  editRecord_.assign(static_cast<std::size_t>(layout_.recordSize), 0);
  editIsCurrent_ = false;
}

int CRecordTable::FieldIndex(const std::string& name) const {
  // Compared in place: the by-name setters and getters call this per value.
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (int i = 0; i < header_.fieldCount && i < kMaxFields; ++i) {
    const std::string& stored = header_.fieldNames[i];
    std::size_t begin = 0;
    std::size_t end = stored.size();
    while (begin < end && IsSpace(stored[begin])) ++begin;
    while (end > begin && IsSpace(stored[end - 1])) --end;
    if (end - begin != name.size()) continue;
    bool same = true;
    for (std::size_t j = 0; j < name.size() && same; ++j) same = lower(stored[begin + j]) == lower(name[j]);
    if (same) return i;
  }
  return -1;
}

std::string CRecordTable::FieldName(int fieldNo) const {
  if (fieldNo < 0 || fieldNo >= header_.fieldCount || fieldNo >= kMaxFields) return std::string();
  return header_.fieldNames[fieldNo];
}

int CRecordTable::GetFieldType(int fieldNo) const {
  if (fieldNo < 0 || fieldNo >= header_.fieldCount || fieldNo >= kMaxFields) return -1;
  return header_.fieldTypes[fieldNo];
}

}  // namespace quorvel::recorddb
