// CRecordTable: one table of the record database, kept in one table file.
//
// A table has up to 128 typed fields and up to 10 keys, each key a B+ tree
// in the same file. Records are appended in a compact form and never
// changed; they are read back by walking a key's order with First, Next and
// Last. The byte layout is in table_format.h.
//
// Calling order: construct; AddField as often as needed, CreateKey after the
// fields it uses (an ftAutoInc field brings its own unique key); Create;
// SetField.../Append, First/Next/Last with GetField...; Close. Or: construct;
// Open; record operations; Close. The destructor closes.
//
// Every operation returns true on success and false on failure; failures
// the caller can act on also leave a text in GetErrorText(), which only a
// newer failure replaces and only Close/Open clears. Failures of the file
// layer itself (a failed read or write, a full disk) are not turned into
// texts: they are thrown as platform::FileError for the caller to catch.
//
// Field values in record images (SetField/GetField sources and destinations
// excepted) are little-endian, as in the file: SetField and GetField take and
// give numbers in the host's own representation and convert.
//
// Namespace: quorvel::recorddb.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "recorddb/key_tree.h"
#include "recorddb/table_format.h"

namespace quorvel::platform {
class FileOpener;
}  // namespace quorvel::platform

namespace quorvel::recorddb {

class TableStore;

// How Open reaches the file. Read-only tables can be walked but refuse
// Append; read-write tables leave the file open to other openers.
enum class AccessMode { kReadOnly, kReadWrite };

class CRecordTable {
 public:
  CRecordTable();
  // Uses `opener` (which must outlive the table) instead of the local file
  // system; tests pass openers whose files fail on purpose.
  explicit CRecordTable(platform::FileOpener& opener);
  // Closes the table. A file error while writing the header back is
  // swallowed here; call Close() first to see it.
  ~CRecordTable();

  CRecordTable(const CRecordTable&) = delete;
  CRecordTable& operator=(const CRecordTable&) = delete;

  // ---- Schema and lifecycle ----------------------------------------------

  // Declares the next field. `type` is a FieldType code; `width` counts only
  // for ftText (1..1024). Names are trimmed; longer than 31 characters they
  // are refused.
  bool AddField(const std::string& name, int type, int width);

  // Declares the next key on field `fieldNo`. `kind` is a KeyKind code.
  // `compareMode`, `start` and `length` count only for ftText fields.
  bool CreateKey(const std::string& name, int kind, int fieldNo, int compareMode, int start, int length);

  // Creates (or empties) the table file from the declared schema and locks
  // it against other lockers until Close. `description` is cut to 59
  // characters.
  bool Create(const std::string& path, const std::string& description = std::string());

  // Opens an existing table file, closing whatever was open first. A file
  // whose header cannot describe a table (too short, impossible field
  // widths, record size, key descriptions) is refused and left closed.
  bool Open(const std::string& path, AccessMode mode = AccessMode::kReadWrite);

  // Writes the header back when records were appended, closes the file and
  // returns the object to its initial, empty state. The state is reset even
  // when the file layer throws.
  bool Close();

  const std::string& GetErrorText() const { return errorText_; }

  // Number of the first field whose trimmed name equals `name` ignoring
  // letter case (ASCII letters only; other bytes compare as they are), or -1.
  // `name` itself is not trimmed.
  int FieldIndex(const std::string& name) const;
  // Stored name of field `fieldNo`, or empty text when out of range.
  std::string FieldName(int fieldNo) const;
  // FieldType code of field `fieldNo`, or -1 when out of range.
  int GetFieldType(int fieldNo) const;

  bool IsOpen() const { return open_; }
  // The header image: schema, record count, key roots.
  const TableHeader& Header() const { return header_; }

  // ---- Records --------------------------------------------------------------

  // Stores a raw value into the edit record: an int16_t for ftShort, an
  // int32_t for ftLong, a float, a double, a uint8_t for ftByte (each in the
  // host's representation; `size` must cover it), or for ftText the bytes up
  // to the first NUL, the field width or `size`, whichever comes first.
  // ftBlank8 and ftAutoInc are refused with "field invalidation".
  bool SetField(int fieldNo, const void* value, std::size_t size);

  // Converts `text` to the field's type and stores it into the edit record.
  bool SetFieldText(int fieldNo, const std::string& text);
  bool SetFieldTextByName(const std::string& text, const std::string& fieldName);

  // Copies the field of the current record to `destination` (same
  // representations as SetField; ftText copies the whole width, so `size`
  // must be at least the width). ftBlank8 is refused with "field
  // invalidation".
  bool GetField(int fieldNo, void* destination, std::size_t size);

  // The field of the current record as text, or empty text without a current
  // record or for an unknown field.
  std::string GetFieldText(int fieldNo);
  std::string GetFieldTextByName(const std::string& fieldName);

  // Stores the edit record (or, when `image` is given, the edit record with
  // the first `length` bytes of the image copied over it; 0 means the record
  // size) as a new record, numbers its ftAutoInc field one above the highest
  // number so far (also into `image` when the field lies within `length`)
  // and enters it into every key. The
  // edit record is emptied afterwards. A refused record writes nothing.
  bool Append(void* image = nullptr, std::size_t length = 0);

  // Move key `key`'s walk and make the record reached the current record
  // (and the edit record's content). With a destination, also copy `length`
  // bytes of the record image there (the record size when 0; at most the
  // record size).
  bool First(int key, void* destination = nullptr, std::size_t length = 0);
  bool Next(int key, void* destination = nullptr, std::size_t length = 0);
  bool Last(int key, void* destination = nullptr, std::size_t length = 0);

 private:
  // Where the walk of one key stands.
  struct Cursor {
    std::int32_t node = kNoPosition;
    std::int32_t entry = -1;
    std::int32_t record = kNoPosition;
    std::int32_t block = kNoPosition;  // the duplicate block stood on, or -1
    DuplicateBlock chain;              // that block's content
  };

  // Notices a walk that comes back to a position it has passed (Brent's
  // cycle detection: constant memory, works across calls).
  class CycleGuard {
   public:
    void Reset(std::int32_t start) {
      mark_ = start;
      steps_ = 0;
      power_ = 1;
    }
    // False when `position` closes a cycle.
    bool Step(std::int32_t position) {
      if (position == mark_) return false;
      if (++steps_ == power_) {
        mark_ = position;
        power_ *= 2;
        steps_ = 0;
      }
      return true;
    }

   private:
    std::int32_t mark_ = kNoPosition;
    std::int64_t steps_ = 0;
    std::int64_t power_ = 1;
  };

  // Schema and lifecycle (record_table_schema.cpp).
  void ResetState();
  bool HeaderDescribesTable(std::int64_t fileSize) const;
  bool KeysDescribeTrees(std::int64_t fileSize) const;
  void BuildLayouts();
  void AllocateRecords();
  void WriteHeader();

  // Records (record_table_records.cpp).
  bool HasCurrentRecord() const;
  void KeyValueOf(int key, const std::uint8_t* image, std::vector<std::uint8_t>& value) const;
  bool LastAutoIncValue(int autoField, std::int32_t& value);
  std::vector<std::uint8_t>& EditRecord();
  bool WriteRecord(const std::vector<std::uint8_t>& image, std::int32_t& position);

  // Walking (record_table_walk.cpp).
  bool CanWalk(int key) const;
  bool ReadRecordAt(std::int32_t position, std::vector<std::uint8_t>& image);
  enum class SkipResult { kFound, kNone, kDamaged };
  SkipResult SkipRemoved(int key, Cursor& cursor, NodeLinks& links, bool forward);
  bool EnterChain(int key, Cursor& cursor, bool atEnd);
  bool LandOn(int key, const Cursor& cursor, void* destination, std::size_t length);
  bool Damaged();

  void SetError(std::string text) { errorText_ = std::move(text); }

  platform::FileOpener* opener_;
  std::unique_ptr<TableStore> store_;
  bool open_ = false;
  bool ready_ = false;
  bool readOnly_ = false;
  bool headerChanged_ = false;
  std::string errorText_;
  std::string valueText_;
  TableHeader header_;
  RecordLayout layout_;
  std::vector<std::unique_ptr<KeyTree>> trees_;
  std::vector<std::uint8_t> currentRecord_;
  std::vector<std::uint8_t> editRecord_;
  std::vector<std::uint8_t> scratchRecord_;
  // The edit record is a copy of the current record that is made only when
  // someone changes or appends it.
  bool editIsCurrent_ = false;
  // The highest ftAutoInc number so far, once known; -1 << 32 when not.
  static constexpr std::int64_t kUnknownNumber = -(std::int64_t{1} << 32);
  std::int64_t lastNumber_ = kUnknownNumber;
  // Append's working space, kept to spare allocations per record.
  struct AppendPlan {
    std::vector<std::uint8_t> value;
    KeySearch search;
  };
  std::vector<std::uint8_t> appendRecord_;
  std::array<AppendPlan, kMaxKeys> appendPlans_;
  int activeKey_ = -1;
  std::array<Cursor, kMaxKeys> cursors_;
  std::array<CycleGuard, kMaxKeys> leafGuards_;
  std::array<CycleGuard, kMaxKeys> chainGuards_;
  std::int32_t cachedNode_ = kNoPosition;  // the leaf whose links Next read last
  NodeLinks cachedLinks_;
};

}  // namespace quorvel::recorddb
