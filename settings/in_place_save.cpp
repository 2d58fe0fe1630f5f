#include "in_place_save.h"

#include "redo_record.h"

namespace ratecalc {
namespace {

// A record holds at most both whole contents and its header.
constexpr std::uint64_t kMaxRecordBytes = 2 * kMaxSettingsBytes + 4096;

}  // namespace

bool RecordPath(const FileIdentity& identity, int slot, FilePath& record, bool create) {
  return PrivateFolder(record, create) && record.Append("/") && record.AppendHex(identity.number) &&
         record.Append("~kovredo") && record.AppendHex(static_cast<std::uint64_t>(slot));
}

void FinishInterruptedSave(const FilePath& target) {
  const FileFacts facts = InspectFile(target);
  FileHandle file = kNoFile;
  HeapBytes content;
  FileIdentity identity;
  for (int slot = 0; facts.exists && slot < kSlots; ++slot) {
    FilePath path;
    const FileHandle record = RecordPath(facts.identity, slot, path) ? OpenOwn(path) : kNoFile;
    if (record == kNoFile) continue;  // none, or not this user's: left alone
    if (file == kNoFile &&
        (facts.read_only || OpenLocked(target, true, file) != OpenResult::kOpened ||
         !IdentityOf(file, identity) || !ReadWhole(file, content))) {
      CloseFile(record);
      break;  // a file that cannot be locked or read is finished by a later run
    }
    HeapBytes bytes;
    Change change;
    const bool read = ReadWhole(record, bytes, kMaxRecordBytes);
    CloseFile(record);
    const Verdict verdict =
        read ? JudgeRecord(bytes.View(), identity, content.View(), change) : Verdict::kLeave;
    if (verdict == Verdict::kReplay &&
        (WriteChange(file, content.View().size(), change) != WriteResult::kWritten ||
         !ReadWhole(file, content))) {
      break;  // the record stays for a later run
    }
    if (verdict != Verdict::kLeave) RemoveAbandoned(path);
  }
  if (file != kNoFile) CloseFile(file);
}

SaveFailure SaveInPlace(const RateModel& model, const FilePath& target) {
  FileHandle file = kNoFile;
  if (OpenLocked(target, true, file) != OpenResult::kOpened) return SaveFailure::kNotWritable;
  HeapBytes old_content;
  HeapBytes new_content;
  FileIdentity identity;
  std::uint64_t length = 0;
  SaveFailure failure = LengthOf(file, length) && length > kMaxSettingsBytes
                            ? SaveFailure::kTooLarge
                        : ReadWhole(file, old_content) ? SaveFailure::kNone
                                                       : SaveFailure::kWriteFailed;
  if (failure == SaveFailure::kNone &&
      (!IdentityOf(file, identity) ||
       !WriteSettingsText(old_content.View(), model, HeapBytes::Sink, &new_content) ||
       new_content.Failed())) {
    failure = SaveFailure::kWriteFailed;
  }
  FilePath record_path;
  FileHandle record = kNoFile;
  const bool changed = failure == SaveFailure::kNone && new_content.View() != old_content.View();
  for (int slot = 0; changed && record == kNoFile && slot < kSlots; ++slot) {
    if (RecordPath(identity, slot, record_path, true)) record = CreateHeld(record_path);
  }
  if (changed && record == kNoFile) failure = SaveFailure::kNoRecordPlace;
  if (record != kNoFile) {
    Change change;
    WriteResult result = WriteResult::kUnchanged;
    if (WriteRecord(record, identity, old_content.View(), new_content.View(), change) &&
        SyncFolderOf(record_path)) {
      result = WriteChange(file, old_content.View().size(), change);
    }
    CloseFile(record);  // removed once closed: Windows removes no open file
    if (result != WriteResult::kTorn) RemoveAbandoned(record_path);
    if (result != WriteResult::kWritten) failure = SaveFailure::kWriteFailed;
  }
  CloseFile(file);
  return failure;
}

}  // namespace ratecalc
