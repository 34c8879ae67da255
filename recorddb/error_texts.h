// The texts that CRecordTable leaves in GetErrorText(). The first group is
// the engine's established wording, kept letter for letter (trailing spaces
// included) because callers compare against it.
#pragma once

namespace quorvel::recorddb::error_text {

inline constexpr char kMustDoBeforeCreate[] = "must do before create db";
inline constexpr char kFieldCountFormat[] = "Field count must less than %d  ";
inline constexpr char kFieldNameExists[] = "The FieldName exist already!";
inline constexpr char kTooManyAutoInc[] = "Too many AutoInc fields";
inline constexpr char kFieldLengthFormat[] = "field length must between %d and %d";
inline constexpr char kCreateFieldFirst[] = "must create field first";
inline constexpr char kFieldNoFormat[] = "FieldNo must less than %d";
inline constexpr char kKeyCountFormat[] = "key count must less than %d  ";
inline constexpr char kKeyNameExists[] = "The KeyName exist already!";
inline constexpr char kCannotBeKey[] = "This field can't be key!";
inline constexpr char kCreateKeyFirst[] = "Create Index error,please CreateKey first!";
inline constexpr char kCannotCreate[] = "can't create file ";
inline constexpr char kCannotOpen[] = "file can't be  opened!";
inline constexpr char kKeyNotFound[] = "key not found";
inline constexpr char kFieldInvalid[] = "field invalidation";
inline constexpr char kUnduplicated[] = "the key is unduplicated";

// Refusals that protect the file and the caller from bad input.
inline constexpr char kNameTooLong[] = "name length must less than 32";
inline constexpr char kBadFieldType[] = "unknown field type";
inline constexpr char kBadKeyKind[] = "unknown key kind";
inline constexpr char kDamaged[] = "the table file is damaged";
inline constexpr char kRecordTooLong[] = "record too long";
inline constexpr char kFileFull[] = "the table file is full";
inline constexpr char kReadOnly[] = "the table is open read-only";

}  // namespace quorvel::recorddb::error_text
