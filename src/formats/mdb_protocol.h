#pragma once
// The stream that the Access reading helper (quenda-mdb-reader) writes to its standard output,
// shared by the helper and the program. Plain C++: the helper links no Qt.
//
// The stream opens with the four bytes "QMDB" and the protocol version byte. Then messages
// follow, each a tag byte, a payload length (unsigned 32 bits, little-endian) and the payload:
//   'T' a table name (UTF-8)                           listing tables
//   'C' code page of the stored text (u32)             reading a table, first
//   'F' field: type (u8, FieldCode), size (i32), name   one per field, in table order
//   'H' end of the fields
//   'R' record: one value per field, each a ValueKind byte and its data:
//         Null; Text u32 length + UTF-8; Integer i64; Number f64; Boolean u8; Day f64 (the
//         stored day number: days since 1899-12-30, the fraction the time of day)
//   'B' end of a batch: the helper waits for one byte on its standard input before the next
//   'E' the reason the helper gives up (UTF-8); it then exits with a non-zero code
//   'Z' the end: everything was written
// All integers and floating-point numbers are little-endian.

#include <cstdint>

namespace quenda::mdbproto {

constexpr char kMagic[4] = {'Q', 'M', 'D', 'B'};
constexpr std::uint8_t kVersion = 1;

constexpr char kTable = 'T';
constexpr char kCodePage = 'C';
constexpr char kField = 'F';
constexpr char kHeaderEnd = 'H';
constexpr char kRecord = 'R';
constexpr char kBatchEnd = 'B';
constexpr char kError = 'E';
constexpr char kEnd = 'Z';

enum FieldCode : std::uint8_t {
    kFieldText = 0,
    kFieldMemo = 1,
    kFieldInteger = 2,
    kFieldNumber = 3,
    kFieldCurrency = 4,
    kFieldBoolean = 5,
    kFieldDate = 6,
    kFieldDateTime = 7,
    kFieldBinary = 8,
};

enum ValueKind : std::uint8_t {
    kValueNull = 0,
    kValueText = 1,
    kValueInteger = 2,
    kValueNumber = 3,
    kValueBoolean = 4,
    kValueDay = 5,
};

// Exit codes of the helper.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitCannotOpen = 2;
constexpr int kExitNoTable = 3;
constexpr int kExitFailed = 4;

} // namespace quenda::mdbproto
