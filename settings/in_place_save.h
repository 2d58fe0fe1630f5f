// The save protocol, written once: how a save reaches the file, what is on
// the disk before each step, and who may finish or remove what a killed
// save left. A file over kMaxSettingsBytes is never written.
//
// A save REPLACES the file where it can (settings_file.cpp):
//   R1. Read the whole file under a shared lock; make the new content. A
//       file this run could not read at its load is never written; one that
//       needs no change is left.
//   R2. Write it to `file`~kovtmp<n> beside it, the first of kSlots names
//       that is free (no user picks such a name), created held: no one
//       removes it while its save runs. A held-by-none one is a killed
//       save's: removed. Force it to the disk.
//   R3. Give it what a replace keeps (see the platform's file), rename it
//       over the file in one step, force the folder.
//   Disk: the old file until R3, the new one after.
//
// A file that cannot be replaced (held open without delete sharing, in a
// folder that is not writable, with several names, another user's) is
// written IN PLACE under a redo record (SaveInPlace):
//   P1. Open the file and take its exclusive lock, held to P6: loads and
//       saves of any copy wait for it or give up.
//   P2. Read it whole and make the new content. No change: unlock.
//   P3. Create the record, held, in the user's private folder
//       (PrivateFolder), which every run of the user finds, named after the
//       file's number, which every name of the file leads to:
//       <number>~kovredo<n>, the first of kSlots names that is free (a taken
//       one, another file's record, is never removed). No name free, or no
//       private folder: the save is not done (kNoRecordPlace), and the file
//       is not touched.
//   P4. Write the record (its form is in in_place_save.cpp): what the write
//       changes, the new bytes and the old, from the first that differs to
//       the last, then its header, with hashes of the whole old and new
//       contents. Force it and its folder to the disk.
//   P5. Make the file its new length (the space taken at once, as
//       posix_fallocate does, and SetEndOfFile, which extends the file on
//       Windows), write the changed bytes, cut it to length, force it to the
//       disk; remove the record. A write that fails before it changed a
//       byte (a full disk) removes it too; one that fails part-way keeps it.
//   P6. Unlock.
//   Disk: from P4 to the end of P5 the whole record and the file holding the
//   old content, the new, or the new up to some point and the old after it
//   (zeros where it grew); before and after, no record of this save.
//
// FINISHING a killed save (FinishInterruptedSave), first thing in every load
// and every save, for each name a record of the file may have:
//   F1. Lock the file as in P1: a record now is an orphan, since its save
//       held the lock from P1 to P6.
//   F2. A record that is no regular file of this user's, is reached through
//       a link, or is held by a running process is left alone. One without
//       a whole header was left before P5 changed a byte: removed.
//   F3. A whole record of this file number: the file holds its new content:
//       finished, removed. Its old content or a mix of the two as P5 leaves
//       them (both whole-file hashes agreeing): replayed as in P5, removed.
//       Anything else is stale for its file (changed since): removed when
//       the record names the file's device, left alone when another (the
//       disk may have come back under another number: only the content
//       proves a record's file, and this one cannot be judged).
//
// Invariants:
//   I1. No byte of the file changes before its record is whole on the disk.
//   I2. A record is replayed only under the file's exclusive lock, and only
//       into a state its own save left: it finishes that save, nothing else.
//   I3. A reader never sees a file mid-write: its shared lock fails while a
//       save holds the exclusive one, and it retries for kBusyRetryMs.
//   I4. A record is removed only by its user, when no process holds it, and
//       when it is finished, unfinished, or stale for its own file.
//
// Known limits: a backup of the old content put back under the same file
// number before the next start is completed by the record, as if the save
// had been killed. The record of a torn file set aside under another name
// stays until a load of that file finishes it.
#pragma once

#include "file_access.h"
#include "rate_model.h"
#include "settings_file.h"
#include "text_form.h"

namespace ratecalc {

// 64-bit FNV-1a, continued from `hash`.
std::uint64_t Hash(std::string_view bytes, std::uint64_t hash = 14695981039346656037ull);

// Reads the whole open file, of `limit` bytes at most (false beyond).
bool ReadWhole(FileHandle file, HeapBytes& bytes, std::uint64_t limit = kMaxSettingsBytes);

// How many names a temporary or a record of one file may take.
inline constexpr int kSlots = 4;

// The name of record `slot` of the file with `identity` (the folder made
// when `create`).
bool RecordPath(const FileIdentity& identity, int slot, FilePath& record, bool create = false);

// Steps F1 to F3.
void FinishInterruptedSave(const FilePath& target);

// Steps P1 to P6.
SaveFailure SaveInPlace(const RateModel& model, const FilePath& target);

}  // namespace ratecalc
