// The redo record of an in-place save: what it holds, and the one test of
// whether it may be replayed. The protocol that writes and replays it is
// described in in_place_save.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "file_access.h"

namespace ratecalc {

// 64-bit FNV-1a, fed in pieces: a record's content hashes, and any other
// short fingerprint the settings code keeps.
struct Hash64 {
  std::uint64_t value = 14695981039346656037ull;
  void Add(const char* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      value = (value ^ static_cast<unsigned char>(bytes[i])) * 1099511628211ull;
    }
  }
};

// Nine 64-bit little-endian fields: a mark, the file's identity, the old
// content's length and hash, the new content's length and hash, how many
// bytes both start with alike, and a hash of the fields before it.
inline constexpr std::size_t kRecordFields = 9;
inline constexpr std::size_t kRecordHeaderBytes = kRecordFields * 8;

// After the header: the new content, then the old content from `kept` on.
struct RecordHeader {
  FileIdentity identity;
  std::uint64_t old_length = 0;
  std::uint64_t old_hash = 0;
  std::uint64_t new_length = 0;
  std::uint64_t new_hash = 0;
  std::uint64_t kept = 0;
};

// Completes a record whose stream holds kRecordHeaderBytes of anything and
// then the new content of the locked file: adds the old content the write
// may change, and the header. False if anything fails.
bool CompleteRecord(std::FILE* record, const LockedFile& target);

// Whether the record is whole and made for the locked file as it stands:
// the same file, holding the old content, the new content, or the new up
// to some point and the old after it. Then `header` holds what it says.
bool RecordFitsFile(std::FILE* record, const LockedFile& target, RecordHeader& header);

}  // namespace ratecalc
