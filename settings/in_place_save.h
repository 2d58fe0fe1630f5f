// The save protocol, written once: how a save reaches the file, what is on
// the disk before each step, and who may finish or remove what a killed
// save left. A file over kMaxSettingsBytes is never written.
//
// A save REPLACES the file where it can (settings_file.cpp):
//   R1. Read the whole file under a shared lock and make the new content.
//       A file this run could not read at its load is never written; one
//       that needs no change is left.
//   R2. Write it to `file`~kovtmp<n> beside it, the first of kSlots names
//       that is free (a name no user picks), created held: no one removes
//       it while its save runs. Force it to the disk.
//   R3. Give it what a replace keeps (see the platform's file), rename it
//       over the file in one step and force the folder.
//   Disk: the old file until R3, the new one after; perhaps a temporary of a
//   killed save, which the next save that needs its name removes.
//
// A file that cannot be replaced (held open without delete sharing, in a
// folder that is not writable, with several names, another user's) is
// written IN PLACE under a redo record (SaveInPlace):
//   P1. Open the file and take its exclusive lock, held to P6: loads and
//       saves of any copy wait for it or give up.
//   P2. Read it whole and make the new content. No change: unlock.
//   P3. Create the record, held, under the first free of its names: in the
//       user's private folder (PrivateFolder) as <file number>~kovredo<n>,
//       which every name of the file and every run of the user finds;
//       where that folder cannot be had, beside the file as
//       `file`~kovredo<n>. A name that is taken (another user's, another
//       file's record) is skipped, never removed. Where no name can be had,
//       the save is not done (kNoRecordPlace): no record, no in-place write.
//   P4. Write the record (redo_record.h): what the write changes, from the
//       first byte that differs to the last, new and old, then its header
//       with the hashes of the whole old and new contents. Force it, and its
//       folder, to the disk.
//   P5. Write the file: make it its new length first (the disk space taken
//       at once: posix_fallocate, or SetEndOfFile, which extends the file on
//       Windows), then the changed bytes, then cut it to its length, forced
//       to the disk. Remove the record, unless the write failed part-way;
//       one that failed before it changed a byte (a full disk) drops it.
//   P6. Unlock.
//   Disk: from P4 to the end of P5 the whole record, and the file holding
//   the old content, the new, or the new up to some point and the old after
//   it (zeros where it grew); before and after, no record of this save.
//
// FINISHING a killed save (FinishInterruptedSave), first thing in every load
// and every save, for each name a record of the file may have:
//   F1. Lock the file as in P1: a record now is an orphan, since its save
//       held the lock from P1 to P6.
//   F2. A record that is not this user's regular file, that is reached
//       through a link, or that a running process holds is left alone. One
//       without a whole header was left before P5 changed a byte: removed.
//   F3. A whole record for this file number: if the file holds its new
//       content, finished: removed. If it holds its old content or a mix of
//       the two as P5 leaves them (both whole-file hashes agreeing): replayed
//       as in P5, then removed. Anything else is stale (the file changed
//       since): removed when the record names the file's device, left alone
//       when it names another (the disk may have come back under another
//       number; the content is the proof, and this run cannot judge).
//   F4. A record beside a name where no file stands, or another file of
//       the same device, has lost its file there: removed.
//
// Invariants:
//   I1. No byte of the file changes before its record is whole on the disk.
//   I2. A record is replayed only under the file's exclusive lock, and only
//       into a state its own save left: it can finish that save and nothing
//       else.
//   I3. A reader never sees a file mid-write: its shared lock fails while a
//       save holds the exclusive one, and it retries for kBusyRetryMs.
//   I4. A record is removed only by its user, when no process holds it, and
//       only when finished, unfinished, or stale for its own file.
//
// Known limit: a backup of the old content put back under the same file
// number before the next start is completed by the record, as if the save
// had been killed. Records of torn files the user set aside under another
// name stay in the private folder until a load of that file finishes them.
#pragma once

#include "file_access.h"
#include "rate_model.h"
#include "settings_file.h"

namespace ratecalc {

// How many names a temporary or a record of one file may take.
inline constexpr int kSlots = 4;

// The name of slot `slot` of a record of `target`, which has `identity`:
// in the private folder (made when `create`) or beside the file.
bool RecordPath(const FilePath& target, const FileIdentity& identity, bool beside, int slot,
                FilePath& record, bool create = false);

// Steps F1 to F4.
void FinishInterruptedSave(const FilePath& target);

// Steps P1 to P6.
SaveFailure SaveInPlace(const RateModel& model, const FilePath& target);

}  // namespace ratecalc
