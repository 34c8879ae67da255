// CRecordTable: setting and getting field values, appending records.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "recorddb/error_texts.h"
#include "recorddb/key_tree.h"
#include "recorddb/little_endian.h"
#include "recorddb/record_table.h"
#include "recorddb/table_store.h"

namespace quorvel::recorddb {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The decimal integer at the start of `text` (leading white space and a sign
// allowed, reading stops at the first other character, 0 without digits),
// kept modulo 2^64 so that any cut to fewer bits gives the true low bits.
// `nonZero` tells whether the number itself is not 0.
std::uint64_t ParseInteger(const std::string& text, bool* nonZero = nullptr) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::uint64_t value = 0;
  bool anyNonZero = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
    anyNonZero = anyNonZero || text[i] != '0';
  }
  if (nonZero) *nonZero = anyNonZero;
  return negative ? ~value + 1 : value;
}

// The decimal floating-point number at the start of `text`, independent of
// the process locale; 0 when there is none. Values beyond the range of a
// double become infinite, values below it zero.
double ParseReal(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) return 0.0;  // a second sign
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  double value = 0.0;
  auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (error == std::errc::invalid_argument) return 0.0;
  if (error == std::errc::result_out_of_range) {
    const char* exponent = std::find_if(first, end, [](char c) { return c == 'e' || c == 'E'; });
    const bool tiny = exponent != end && exponent + 1 != end && exponent[1] == '-';
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return negative ? -value : value;
}

float ToSingle(double value) {
  if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max()) {
    // Rounds to infinity, as the conversion would on overflow.
    return value > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
  }
  return static_cast<float>(value);
}

std::string FixedText(double value, int precision) {
  char text[400];
  auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, precision);
  if (error != std::errc()) return std::string();
  return std::string(text, end);
}

}  // namespace

std::vector<std::uint8_t>& CRecordTable::EditRecord() {
  if (editIsCurrent_) {
    editRecord_ = currentRecord_;
    editIsCurrent_ = false;
  }
  return editRecord_;
}

bool CRecordTable::HasCurrentRecord() const {
  return activeKey_ >= 0 && activeKey_ < kMaxKeys && cursors_[activeKey_].record >= 0;
}

bool CRecordTable::SetField(int fieldNo, const void* value, std::size_t size) {
  if (!ready_ || fieldNo < 0 || fieldNo >= header_.fieldCount) return false;
  const FieldLayout& field = layout_.fields[fieldNo];
  if (field.type == ftBlank8 || field.type == ftAutoInc) {
    SetError(error_text::kFieldInvalid);
    return false;
  }
  if (value == nullptr) return false;
  std::uint8_t* target = EditRecord().data() + field.offset;
  if (field.type == ftText) {
    const std::size_t limit = std::min<std::size_t>(size, static_cast<std::size_t>(field.width));
    const void* nul = std::memchr(value, 0, limit);
    const std::size_t n = nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) -
                                                         static_cast<const std::uint8_t*>(value))
                              : limit;
    std::memset(target, 0, static_cast<std::size_t>(field.width));
    std::memcpy(target, value, n);
    return true;
  }
  if (size < static_cast<std::size_t>(field.width)) return false;
  switch (field.type) {
    case ftShort: { std::int16_t v; std::memcpy(&v, value, sizeof v); StoreI16(target, v); break; }
    case ftLong: { std::int32_t v; std::memcpy(&v, value, sizeof v); StoreI32(target, v); break; }
    case ftFloat: { float v; std::memcpy(&v, value, sizeof v); StoreF32(target, v); break; }
    case ftDouble: { double v; std::memcpy(&v, value, sizeof v); StoreF64(target, v); break; }
    case ftByte: std::memcpy(target, value, 1); break;
    default: return false;
  }
  return true;
}

bool CRecordTable::SetFieldText(int fieldNo, const std::string& text) {
  if (!ready_ || fieldNo < 0 || fieldNo >= header_.fieldCount) return false;
  const FieldLayout& field = layout_.fields[fieldNo];
  std::uint8_t* target = EditRecord().data() + field.offset;
  switch (field.type) {
    case ftShort: StoreU16(target, static_cast<std::uint16_t>(ParseInteger(text))); return true;
    case ftLong: StoreU32(target, static_cast<std::uint32_t>(ParseInteger(text))); return true;
    case ftFloat: StoreF32(target, ToSingle(ParseReal(text))); return true;
    case ftDouble: StoreF64(target, ParseReal(text)); return true;
    case ftText: return SetField(fieldNo, text.c_str(), text.size());
    case ftByte: {
      bool nonZero = false;
      ParseInteger(text, &nonZero);
      target[0] = nonZero ? 1 : 0;
      return true;
    }
    default: return false;
  }
}

bool CRecordTable::SetFieldTextByName(const std::string& text, const std::string& fieldName) {
  const int fieldNo = FieldIndex(fieldName);
  return fieldNo >= 0 && SetFieldText(fieldNo, text);
}

bool CRecordTable::GetField(int fieldNo, void* destination, std::size_t size) {
  if (!ready_ || fieldNo < 0 || fieldNo >= header_.fieldCount) return false;
  const FieldLayout& field = layout_.fields[fieldNo];
  if (field.type == ftBlank8) {
    SetError(error_text::kFieldInvalid);
    return false;
  }
  if (!HasCurrentRecord() || destination == nullptr || size < static_cast<std::size_t>(field.width)) return false;
  const std::uint8_t* source = currentRecord_.data() + field.offset;
  switch (field.type) {
    case ftShort: { std::int16_t v = LoadI16(source); std::memcpy(destination, &v, sizeof v); break; }
    case ftLong: case ftAutoInc: { std::int32_t v = LoadI32(source); std::memcpy(destination, &v, sizeof v); break; }
    case ftFloat: { float v = LoadF32(source); std::memcpy(destination, &v, sizeof v); break; }
    case ftDouble: { double v = LoadF64(source); std::memcpy(destination, &v, sizeof v); break; }
    default: std::memcpy(destination, source, static_cast<std::size_t>(field.width)); break;
  }
  return true;
}

std::string CRecordTable::GetFieldText(int fieldNo) {
  valueText_.clear();
  if (!ready_ || fieldNo < 0 || fieldNo >= header_.fieldCount || !HasCurrentRecord()) return valueText_;
  const FieldLayout& field = layout_.fields[fieldNo];
  const std::uint8_t* source = currentRecord_.data() + field.offset;
  switch (field.type) {
    case ftShort: valueText_ = std::to_string(LoadI16(source)); break;
    case ftLong: case ftAutoInc: valueText_ = std::to_string(LoadI32(source)); break;
    case ftFloat: valueText_ = FixedText(static_cast<double>(LoadF32(source)), 6); break;
    case ftDouble: valueText_ = FixedText(LoadF64(source), 14); break;
    case ftByte: valueText_ = std::to_string(static_cast<int>(source[0])); break;
    case ftText: {
      const std::size_t width = static_cast<std::size_t>(field.width);
      const void* nul = std::memchr(source, 0, width);
      const std::size_t n = nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - source) : width;
      valueText_.assign(reinterpret_cast<const char*>(source), n);
      break;
    }
    default: break;
  }
  return valueText_;
}

std::string CRecordTable::GetFieldTextByName(const std::string& fieldName) {
  const int fieldNo = FieldIndex(fieldName);
  if (fieldNo < 0) {
    valueText_.clear();
    return valueText_;
  }
  return GetFieldText(fieldNo);
}

void CRecordTable::KeyValueOf(int key, const std::uint8_t* image, std::vector<std::uint8_t>& value) const {
  const KeyPart& part = header_.keyParts[key][0];
  const FieldLayout& field = layout_.fields[part.field];
  const std::size_t slot = static_cast<std::size_t>(trees_[key]->KeySlot());
  value.assign(slot, 0);
  if (field.type != ftText) {
    std::memcpy(value.data(), image + field.offset, slot);
    return;
  }
  // A text part may reach past its field (start and length are checked
  // apart); it then takes the following bytes of the record, never more.
  const std::size_t begin = static_cast<std::size_t>(field.offset + part.start);
  const std::size_t available = static_cast<std::size_t>(layout_.recordSize) - std::min<std::size_t>(
                                                                                  begin, layout_.recordSize);
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(part.length), available);
  std::memcpy(value.data(), image + begin, n);
}

bool CRecordTable::LastAutoIncValue(int autoField, std::int32_t& value) {
  // The highest number so far is the last entry of the field's own key. (Key
  // 0's order gives the same whenever key 0 is that key; under any other key
  // 0 it would hand out numbers that already exist.) Found without moving
  // any walk.
  int key = 0;
  for (int k = 0; k < header_.keyCount; ++k) {
    if (header_.keyParts[k][0].field == autoField) {
      key = k;
      break;
    }
  }
  value = 0;
  if (header_.firstLeaves[key] == kNoPosition) return true;
  KeyTree& tree = *trees_[key];
  Cursor cursor;
  cursor.node = header_.lastLeaves[key];
  NodeLinks links;
  if (!tree.ReadLinks(cursor.node, links)) return false;
  cursor.entry = links.count - 1;
  const CycleGuard saved = leafGuards_[key];
  leafGuards_[key].Reset(cursor.node);
  const SkipResult skipped = SkipRemoved(key, cursor, links, false);
  leafGuards_[key] = saved;
  if (skipped == SkipResult::kDamaged) return false;
  if (skipped == SkipResult::kNone) return true;  // only removed entries: no record yet
  std::int32_t record = links.records[cursor.entry];
  if (header_.keyKinds[key] == kkDuplicates && tree.IsBlockAt(record)) {
    const std::int32_t headPosition = record;
    DuplicateBlock head;
    if (!tree.ReadBlock(headPosition, head)) return false;
    record = head.record;
    if (head.lastOrSelf >= 0 && head.lastOrSelf != headPosition) {
      DuplicateBlock last;
      if (!tree.ReadBlock(head.lastOrSelf, last)) return false;
      record = last.record;
    }
  }
  if (!ReadRecordAt(record, scratchRecord_)) return false;
  value = LoadI32(scratchRecord_.data() + layout_.fields[autoField].offset);
  return true;
}

bool CRecordTable::WriteRecord(const std::vector<std::uint8_t>& image, std::int32_t& position) {
  static thread_local std::vector<std::uint8_t> packed;
  if (header_.storageForm == kFullImageRecords) {
    packed = image;
  } else if (!PackCompactRecord(layout_, image.data(), packed)) {
    SetError(error_text::kRecordTooLong);
    return false;
  }
  // Positions are int32: leave room for the record, a split on every level
  // of every key and a duplicate block or two.
  const std::int64_t room = static_cast<std::int64_t>(packed.size()) +
                            static_cast<std::int64_t>(kMaxKeys) * (KeyTree::kMaxDepth + 2) * 65536;
  if (store_->Size() + room > std::numeric_limits<std::int32_t>::max()) {
    SetError(error_text::kFileFull);
    return false;
  }
  position = static_cast<std::int32_t>(store_->Append(packed.data(), packed.size()));
  return true;
}

bool CRecordTable::Append(void* image, std::size_t length) {
  if (!open_ || !ready_) return false;
  if (readOnly_) {
    SetError(error_text::kReadOnly);
    return false;
  }
  const std::size_t recordSize = static_cast<std::size_t>(layout_.recordSize);
  if (image != nullptr && (length == 0 || length > recordSize)) length = recordSize;

  std::vector<std::uint8_t>& edit = EditRecord();
  std::vector<std::uint8_t>& record = appendRecord_;
  record = edit;
  if (image != nullptr) std::memcpy(record.data(), image, length);
  std::int32_t number = 0;
  bool numbered = false;
  for (int i = 0; i < header_.fieldCount; ++i) {
    const FieldLayout& field = layout_.fields[i];
    if (field.type == ftAutoInc) {
      if (lastNumber_ == kUnknownNumber) {
        std::int32_t last = 0;
        if (!LastAutoIncValue(i, last)) return Damaged();
        lastNumber_ = last;
      }
      number = static_cast<std::int32_t>(static_cast<std::uint32_t>(lastNumber_) + 1u);
      numbered = true;
      StoreI32(edit.data() + field.offset, number);
      StoreI32(record.data() + field.offset, number);
      if (image != nullptr && static_cast<std::size_t>(field.offset) + 4 <= length) {
        StoreI32(static_cast<std::uint8_t*>(image) + field.offset, number);
      }
    } else if (field.type == ftBlank8) {
      std::memset(edit.data() + field.offset, 0, 8);
      std::memset(record.data() + field.offset, 0, 8);
    }
  }
  if (header_.keyCount <= 0) {
    SetError(error_text::kKeyNotFound);
    return false;
  }

  // Every key is searched before anything is written, so a refusal leaves
  // the file as it was.
  std::array<AppendPlan, kMaxKeys>& plans = appendPlans_;
  for (int k = 0; k < header_.keyCount; ++k) {
    AppendPlan& plan = plans[k];
    KeyValueOf(k, record.data(), plan.value);
    plan.search = trees_[k]->SearchKey(plan.value.data(), false);
    if (plan.search.damaged) return Damaged();
    if (plan.search.found && plan.search.record >= 0 && header_.keyKinds[k] == kkUnique) {
      SetError(error_text::kUnduplicated);
      return false;
    }
    if (plan.search.found && !trees_[k]->CanAddDuplicate(plan.search.leaf, plan.search.entry)) return Damaged();
  }

  std::int32_t position = kNoPosition;
  if (!WriteRecord(record, position)) return false;

  bool indexed = true;
  for (int k = 0; k < header_.keyCount && indexed; ++k) {
    AppendPlan& plan = plans[k];
    KeyTree& tree = *trees_[k];
    if (plan.search.found) {
      indexed = tree.AddDuplicate(plan.search.leaf, plan.search.entry, position);
      continue;
    }
    if (plan.search.greaterThanAll) {
      plan.search = tree.SearchKey(plan.value.data(), true);
      if (plan.search.damaged) {
        indexed = false;
        break;
      }
    }
    indexed = tree.InsertKey(plan.value.data(), position, plan.search.leaf, plan.search.entry);
  }

  header_.recordCount += 1;
  headerChanged_ = true;
  cachedNode_ = kNoPosition;
  std::fill(edit.begin(), edit.end(), 0);
  // The new number is the highest unless the numbering wrapped around or
  // the trees could not take the record.
  if (numbered) lastNumber_ = indexed && number > lastNumber_ ? number : kUnknownNumber;
  return indexed || Damaged();
}

bool CRecordTable::Damaged() {
  SetError(error_text::kDamaged);
  return false;
}

}  // namespace quorvel::recorddb
