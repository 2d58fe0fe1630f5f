// The save protocol, written once: how a save reaches the file, what is on
// the disk before each step, and who may finish a save that was killed.
//
// A save normally REPLACES the file (settings_file.cpp):
//   R1. Scan the file under a shared lock and plan the change. A file that
//       could not be read is never replaced; one that needs no change is left.
//   R2. Write the new content to `file`.<process>-<n>.tmp beside it, a name
//       held by this save (lock) until it is renamed, and force it to the disk.
//   R3. Give it what a replace keeps (see the platform's file), rename it over
//       the file in one step and force the folder.
//   Disk: the old file until R3, the new one after; perhaps a temporary, which
//   a later save removes once no running save holds it.
//
// A file that cannot be replaced (held open without delete sharing, in a
// folder that is not writable, with several names, another user's in a
// shared folder) is written IN PLACE under a redo record (SaveInPlace):
//   P1. Open the file and take its exclusive lock (OpenLocked), held to P6.
//       Loads and other saves of any copy wait for it or give up.
//   P2. Scan and plan. No change: unlock.
//   P3. Write the record under a temporary name at its place: beside the
//       file as `file`.redo, or, where that folder is not writable, in the
//       user's private folder (PrivateFolder) as KOVRateCalc-<device>-<file
//       number>.redo. It holds a header, the new content, and the old content
//       from the first byte that differs (redo_record.h).
//   P4. Force the record to the disk, rename it to its name, force the folder.
//   P5. Write the file from the record (OverwriteInPlace): room for a longer
//       file first, then only from the first byte that differs, forced to the
//       disk. Remove the record; a write that failed before it changed a byte
//       (a full disk) drops the record with its save.
//   P6. Unlock.
//   Disk: before P4 the old file and no record under its name; from P4 to the
//   end of P5 the record, whole, and the file holding the old content, the
//   new, or the new up to some point and the old after it (the room taken
//   shows as zeros); after P5 the new file and no record. Where neither
//   place can hold a record, P3-P4 write a nameless scratch file instead,
//   and a crash in P5 can leave the file torn.
//
// FINISHING a killed save (FinishInterruptedSave), first thing in every load
// and every save, for each place a record may have:
//   F1. No record: nothing to do. A record beside a file that is gone is
//       removed. (One in the private folder is named by the file's identity,
//       so only a file of that identity leads to it, and F3 removes it there.)
//   F2. Lock the file as in P1. A record there now is an orphan: the save
//       that wrote it holds the lock from P1 to P6, so it was killed.
//   F3. Replay it as in P5 only when it is this user's regular file, reached
//       through no link, whole (mark, header check, length and both content
//       hashes agree), made for this file (same identity), and the file holds
//       one of the states P4-P5 leave. Every other record is removed unread.
//
// Invariants:
//   I1. No byte of the file changes before its record is whole on the disk
//       under its name (P4 before P5), or, with no record, before the whole
//       new content is written elsewhere.
//   I2. A record is replayed only under the file's exclusive lock, so never
//       while the save that wrote it runs, and only into a state its save
//       left: a record can finish its own save and nothing else.
//   I3. A reader never sees a file mid-write: its shared lock fails while a
//       save holds the exclusive one, and it retries for kBusyRetryMs.
//   I4. The private folder is this user's, owner-only and no link, so no
//       other user can take or plant a record's name.
#pragma once

#include "file_access.h"
#include "rate_model.h"

namespace ratecalc {

// The places a record of `target` may have, in the order a save tries them.
enum RecordPlace { kBesideFile, kInPrivateFolder, kRecordPlaces };
// The private folder is made only when `create`.
bool RecordPath(const FilePath& target, int place, FilePath& record, bool create = false);

// Steps F1 to F3 for both places.
void FinishInterruptedSave(const FilePath& target);

// Steps P1 to P6.
void SaveInPlace(const RateModel& model, const FilePath& target);

}  // namespace ratecalc
