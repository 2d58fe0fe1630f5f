// The redo record of an in-place save: its form, the one write it makes,
// and the one test of what it may do to a file. The protocol that writes
// and replays it is in in_place_save.h.
#pragma once

#include <cstdint>
#include <string_view>

#include "file_access.h"
#include "text_form.h"

namespace ratecalc {

// 64-bit FNV-1a, continued from `hash`.
std::uint64_t Hash(std::string_view bytes, std::uint64_t hash = 14695981039346656037ull);

// Reads the whole open file, of kMaxSettingsBytes at most (false beyond).
bool ReadWhole(FileHandle file, HeapBytes& bytes, std::uint64_t limit = kMaxSettingsBytes);

// What an in-place write changes: from `begin` on, `bytes` in place of the
// old ones, and the file made `new_length` long.
struct Change {
  std::uint64_t begin = 0;
  std::string_view bytes;
  std::uint64_t new_length = 0;
};

// Step P5: the file, `old_length` long and locked, is first made its new
// length, then written and cut to it, and forced to the disk. kUnchanged
// when no byte of it changed (room for a longer file could not be had).
enum class WriteResult { kWritten, kUnchanged, kTorn };
WriteResult WriteChange(FileHandle file, std::uint64_t old_length, const Change& change);

// Step P4: writes into the new, empty record the change from `old_content`
// to `new_content` of the file, the header last, forced to the disk.
bool WriteRecord(FileHandle record, const FileIdentity& file, std::string_view old_content,
                 std::string_view new_content, Change& change);

// Steps F2 and F3 for a record of this user's that no process holds, and
// the locked file that holds `content`; kReplay sets the change to write.
enum class Verdict { kLeave, kRemove, kReplay };
Verdict JudgeRecord(std::string_view record, const FileIdentity& file, std::string_view content,
                    Change& change);

}  // namespace ratecalc
