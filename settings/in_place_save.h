// The save protocol, written once: what is on the disk before each step, and
// who may finish or remove what a killed save left. A file over
// kMaxSettingsBytes is never written, nor is one made so.
//
// A save REPLACES the file where it can (settings_file.cpp):
//   R1. Read it whole under a shared lock and make the new content. A file
//       unread at its load is never written; one needing no change is left.
//   R2. Write it to `file`~kovtmp<n>, the first of kSlots free names, created
//       held (no one removes it while its save runs; one held by none is a
//       killed save's: removed), and force it to the disk.
//   R3. Give it what a replace keeps (the platform file), rename it over the
//       file in one step, force the folder. Disk: the old file, then the new.
//
// A file that cannot be replaced (held without delete sharing, in a folder
// not writable, with several names or extended attributes such as an access
// list, which a new file would lack, another user's) is written IN PLACE:
//   P1. Open and lock the file exclusively to P6: loads and saves wait.
//   P2. Read it whole, make the new content; no change: unlock.
//   P3. Create the record, held, in the user's private folder (PrivateFolder:
//       every run finds it) as <volume>-<file number>~kovredo<n> (every name
//       of the file leads there, no other volume's file does), the first of
//       kSlots free names; a taken one is never removed. No free name or no
//       private folder: not saved (kNoRecordPlace), the file untouched.
//   P4. Write the record (form in in_place_save.cpp): the new and the old
//       bytes from the first that differs to the last, then its header.
//       Force it and its folder.
//   P5. Extend the file to its new length (SetLengthAndSync), write the
//       changed bytes, cut it to length, force it; remove the record. A
//       write failing before it changed a byte (full disk) removes it too;
//       one failing part-way keeps it.
//   P6. Unlock.
//   Disk: from P4 to the end of P5 the whole record and the file holding the
//   old content, the new, or the new up to a point and the old after it
//   (zeros where it grew); otherwise no record of this save.
//
// FINISHING a killed save (FinishInterruptedSave), first in every load and
// save, for each name a record of the file may have:
//   F1. Lock the file as in P1: a record now is an orphan. A record left
//       (no lock, a replay failing) may mean a torn file: not loaded, not saved.
//   F2. A record that is no regular file of this user's, is reached through
//       a link, is held (its save runs) or damaged is left alone; one with
//       no header was left before P5 changed a byte: removed.
//   F3. A whole record of this volume and file number, the file of its old
//       or new length holding the old, the new or a mix as P5 leaves them
//       where the change goes: replayed as in P5, removed. Else: removed.
//
// Invariants:
//   I1. No byte of the file changes before its record is whole on the disk.
//   I2. A record is replayed only under the file's exclusive lock, only into
//       a state its own save left.
//   I3. A reader never sees a file mid-write: its shared lock fails while a
//       save holds the exclusive one (which needs a right to write), and it
//       retries for kBusyRetryMs; a file it may not open is not retried. On
//       Windows, where any reader may lock it so, it reads while no one may write.
//   I4. A record is removed only by its user, when no process holds it, and
//       when it is finished, unfinished, or stale for its own file.
//   I5. A link is followed only if it is this user's or root's (POSIX): no
//       save goes where another user points it.
//
// Known limits:
//   L1. A backup of the old content put back under the file's number, or a
//       disk cloned byte for byte, is finished by the record. A torn file's
//       record stays until it loads; a reader's lock held on stalls P1.
//   L2. A record is its user's alone: another user's load of a file torn by
//       a killed save shows the new lines, then the old; her save keeps it.
#pragma once

#include "file_access.h"
#include "rate_model.h"
#include "settings_text.h"
#include "text_form.h"

namespace ratecalc {

// 64-bit FNV-1a, continued from `hash`.
std::uint64_t Hash(std::string_view bytes, std::uint64_t hash = 14695981039346656037ull);

// Reads the whole open file of `limit` bytes at most, and its identity:
// kRead, kTooLarge (nothing read) or kUnreadable.
LoadOutcome ReadWhole(FileHandle file, HeapBytes& bytes, FileIdentity* identity = nullptr,
                      std::uint64_t limit = kMaxSettingsBytes);

// Steps R1 and P2: the open file's content (none for kNoFile) and the new.
SaveFailure ReadAndChange(FileHandle file, const RateModel& model, HeapBytes& old_content,
                          HeapBytes& new_content, FileIdentity* identity = nullptr);

// How many names a temporary or a record of one file may take.
inline constexpr int kSlots = 4;

// Record `slot` of the file (its folder made when `create`).
bool RecordPath(const FileIdentity& identity, int slot, FilePath& record, bool create = false);

// Steps F1 to F3; false while a record of the file stays unfinished.
bool FinishInterruptedSave(const FilePath& target);

// A file that could not be opened locked: kBusy when held elsewhere.
inline SaveFailure OpenFailure(OpenResult opened) {
  return opened == OpenResult::kBusy ? SaveFailure::kBusy : SaveFailure::kNotWritable;
}

// Steps P1 to P6.
SaveFailure SaveInPlace(const RateModel& model, const FilePath& target);

}  // namespace ratecalc
