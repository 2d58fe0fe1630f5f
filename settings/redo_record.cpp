#include "redo_record.h"

#include <algorithm>
#include <cstring>

namespace ratecalc {
namespace {

constexpr char kRecordMark[8] = {'K', 'O', 'V', 'r', 'e', 'd', 'o', '1'};
constexpr unsigned kBitsPerByte = 8;
constexpr std::size_t kReaderBlock = 4096;

enum Field { kMark, kDevice, kNumber, kOldLength, kOldHash, kNewLength, kNewHash, kKept, kCheck };
static_assert(kCheck + 1 == kRecordFields);

void PutField(char* header, Field field, std::uint64_t value) {
  for (std::size_t i = 0; i < sizeof value; ++i) {
    header[field * sizeof value + i] = static_cast<char>(value >> (kBitsPerByte * i));
  }
}

std::uint64_t GetField(const char* header, Field field) {
  std::uint64_t value = 0;
  for (std::size_t i = sizeof value; i-- > 0;) {
    value = value << kBitsPerByte | static_cast<unsigned char>(header[field * sizeof value + i]);
  }
  return value;
}

std::uint64_t HeaderCheck(const char* header) {
  Hash64 hash;
  hash.Add(header, kCheck * sizeof(std::uint64_t));
  return hash.value;
}

// Adds `length` bytes of the file from `offset` to the hash; false if it ends early.
bool HashRange(std::FILE* file, std::uint64_t offset, std::uint64_t length, Hash64& hash) {
  char buffer[kReaderBlock];
  for (std::uint64_t done = 0; done < length;) {
    const std::size_t want =
        static_cast<std::size_t>(length - done < sizeof buffer ? length - done : sizeof buffer);
    if (ReadAt(file, buffer, want, offset + done) != want) return false;
    hash.Add(buffer, want);
    done += want;
  }
  return true;
}

// The hashes of the new and the old content the record holds.
bool ContentHashes(std::FILE* record, const RecordHeader& header, std::uint64_t& new_hash,
                   std::uint64_t& old_hash) {
  Hash64 new_content;
  Hash64 old_content;
  const std::uint64_t old_part = kRecordHeaderBytes + header.new_length;
  const bool read = HashRange(record, kRecordHeaderBytes, header.new_length, new_content) &&
                    HashRange(record, kRecordHeaderBytes, header.kept, old_content) &&
                    HashRange(record, old_part, header.old_length - header.kept, old_content);
  new_hash = new_content.value;
  old_hash = old_content.value;
  return read;
}

// A file's bytes by position, read a block at a time.
struct ByteReader {
  explicit ByteReader(std::FILE* stream) : file(stream) {}
  std::FILE* file;
  std::uint64_t start = UINT64_MAX;
  std::size_t length = 0;
  char block[kReaderBlock];

  bool At(std::uint64_t position, char& byte) {
    if (position < start || position - start >= length) {
      start = position;
      length = ReadAt(file, block, sizeof block, position);
      if (length == 0) return false;
    }
    byte = block[position - start];
    return true;
  }
};

// Whether the file holds the new content up to some point (perhaps none
// or all of it) and the old after it, the old content followed by the
// zeros of room taken for a longer file.
bool HoldsOldNewOrBetween(const LockedFile& target, std::FILE* record, const RecordHeader& header) {
  std::uint64_t length = 0;
  if (!LengthOf(target.Stream(), length) ||
      (length != header.old_length && length != header.new_length)) {
    return false;
  }
  std::uint64_t at = 0;
  if (!FirstDifference(record, kRecordHeaderBytes, target.Stream(),
                       std::min(length, header.new_length), at)) {
    return false;
  }
  ByteReader file(target.Stream());
  ByteReader old_content(record);
  const std::uint64_t old_part = kRecordHeaderBytes + header.new_length - header.kept;
  for (char old = 0, theirs = 0; at < length; ++at) {
    old = 0;
    if (at < header.kept && !old_content.At(kRecordHeaderBytes + at, old)) return false;
    if (at >= header.kept && at < header.old_length && !old_content.At(old_part + at, old)) {
      return false;
    }
    if (!file.At(at, theirs) || old != theirs) return false;
  }
  return true;
}

}  // namespace

bool CompleteRecord(std::FILE* record, const LockedFile& target) {
  RecordHeader header;
  std::uint64_t record_length = 0;
  if (std::fflush(record) != 0 || !LengthOf(record, record_length) ||
      record_length < kRecordHeaderBytes || !LengthOf(target.Stream(), header.old_length) ||
      !IdentityOf(target.Stream(), header.identity)) {
    return false;
  }
  header.new_length = record_length - kRecordHeaderBytes;
  if (!FirstDifference(record, kRecordHeaderBytes, target.Stream(),
                       std::min(header.new_length, header.old_length), header.kept)) {
    return false;
  }
  // The old content from there on, which the write may change.
  char buffer[kReaderBlock];
  for (std::uint64_t at = header.kept; at < header.old_length;) {
    const std::size_t got = ReadAt(target.Stream(), buffer, sizeof buffer, at);
    if (got == 0 || !WriteAt(record, buffer, got,
                             kRecordHeaderBytes + header.new_length + (at - header.kept))) {
      return false;
    }
    at += got;
  }
  if (!ContentHashes(record, header, header.new_hash, header.old_hash)) return false;
  char fields[kRecordHeaderBytes];
  std::memcpy(fields, kRecordMark, sizeof kRecordMark);
  PutField(fields, kDevice, header.identity.device);
  PutField(fields, kNumber, header.identity.number);
  PutField(fields, kOldLength, header.old_length);
  PutField(fields, kOldHash, header.old_hash);
  PutField(fields, kNewLength, header.new_length);
  PutField(fields, kNewHash, header.new_hash);
  PutField(fields, kKept, header.kept);
  PutField(fields, kCheck, HeaderCheck(fields));
  return WriteAt(record, fields, sizeof fields, 0);
}

bool RecordFitsFile(std::FILE* record, const LockedFile& target, RecordHeader& header) {
  char fields[kRecordHeaderBytes];
  if (ReadAt(record, fields, sizeof fields, 0) != sizeof fields ||
      std::memcmp(fields, kRecordMark, sizeof kRecordMark) != 0 ||
      GetField(fields, kCheck) != HeaderCheck(fields)) {
    return false;
  }
  header.identity.device = GetField(fields, kDevice);
  header.identity.number = GetField(fields, kNumber);
  header.old_length = GetField(fields, kOldLength);
  header.new_length = GetField(fields, kNewLength);
  header.kept = GetField(fields, kKept);
  // Whole: as long as the header says, and both contents as they were hashed.
  std::uint64_t length = 0;
  std::uint64_t new_hash = 0;
  std::uint64_t old_hash = 0;
  FileIdentity identity;
  if (header.kept > header.old_length || header.kept > header.new_length ||
      header.new_length > UINT64_MAX / 4 || header.old_length > UINT64_MAX / 4 ||
      !LengthOf(record, length) ||
      length != kRecordHeaderBytes + header.new_length + (header.old_length - header.kept) ||
      !ContentHashes(record, header, new_hash, old_hash) ||
      new_hash != GetField(fields, kNewHash) || old_hash != GetField(fields, kOldHash)) {
    return false;
  }
  header.new_hash = new_hash;
  header.old_hash = old_hash;
  return IdentityOf(target.Stream(), identity) && identity.device == header.identity.device &&
         identity.number == header.identity.number && HoldsOldNewOrBetween(target, record, header);
}

}  // namespace ratecalc
