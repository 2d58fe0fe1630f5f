#include "in_place_save.h"

#include "redo_record.h"

namespace ratecalc {
namespace {

constexpr std::string_view kRecordSuffix = "~kovredo";
// A record holds at most both whole contents, and its header.
constexpr std::uint64_t kMaxRecordBytes = 2 * kMaxSettingsBytes + 4096;

// Steps F2 to F4 for one record of the locked file; false when the file
// changed and must be read again.
bool FinishRecord(const FilePath& record_path, FileHandle file, const FileIdentity& identity,
                  std::string_view content, bool beside) {
  const FileHandle record = OpenOwn(record_path);
  HeapBytes bytes;
  const bool read = record != kNoFile && ReadWhole(record, bytes, kMaxRecordBytes);
  if (record != kNoFile) CloseFile(record);
  Change change;
  const Verdict verdict =
      read ? JudgeRecord(bytes.View(), identity, content, beside, change) : Verdict::kLeave;
  if (verdict == Verdict::kReplay &&
      WriteChange(file, content.size(), change) != WriteResult::kWritten) {
    return false;  // the record stays for the next load
  }
  if (verdict != Verdict::kLeave) RemoveAbandoned(record_path);
  return verdict != Verdict::kReplay;
}

}  // namespace

bool RecordPath(const FilePath& target, const FileIdentity& identity, bool beside, int slot,
                FilePath& record, bool create) {
  if (beside) {
    record = target;
  } else if (!PrivateFolder(record, create) || !record.Append("/") ||
             !record.AppendHex(identity.number)) {
    return false;
  }
  return record.Append(kRecordSuffix) && record.AppendHex(static_cast<std::uint64_t>(slot));
}

void FinishInterruptedSave(const FilePath& target) {
  const FileFacts facts = InspectFile(target);
  FileHandle file = kNoFile;
  HeapBytes content;
  FileIdentity identity;
  for (int place = 0; place < 2; ++place) {
    for (int slot = 0; slot < kSlots; ++slot) {
      FilePath record;
      const bool beside = place == 1;
      if ((!beside && !facts.exists) || !RecordPath(target, facts.identity, beside, slot, record) ||
          !PathExists(record)) {
        continue;
      }
      if (!facts.exists) {  // F4
        RemoveAbandoned(record);
        continue;
      }
      if (file == kNoFile &&
          (facts.read_only || OpenLocked(target, true, file) != OpenResult::kOpened ||
           !IdentityOf(file, identity) || !ReadWhole(file, content))) {
        if (file != kNoFile) CloseFile(file);
        return;  // a file that cannot be locked or read is finished by a later run
      }
      if (!FinishRecord(record, file, identity, content.View(), beside) &&
          !ReadWhole(file, content)) {
        break;
      }
    }
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
  SaveFailure failure = SaveFailure::kNone;
  if (!LengthOf(file, length) || length > kMaxSettingsBytes) {
    failure = SaveFailure::kTooLarge;
  } else if (!ReadWhole(file, old_content) || !IdentityOf(file, identity) ||
             !WriteSettingsText(old_content.View(), model, HeapBytes::Sink, &new_content) ||
             new_content.Failed()) {
    failure = SaveFailure::kWriteFailed;
  }
  if (failure != SaveFailure::kNone || new_content.View() == old_content.View()) {
    CloseFile(file);
    return failure;
  }
  FilePath record_path;
  FileHandle record = kNoFile;
  for (int place = 0; place < 2 && record == kNoFile; ++place) {
    for (int slot = 0; slot < kSlots && record == kNoFile; ++slot) {
      if (RecordPath(target, identity, place == 1, slot, record_path, true)) {
        record = CreateHeld(record_path);
      }
    }
  }
  WriteResult result = WriteResult::kUnchanged;
  Change change;
  if (record != kNoFile) {
    if (WriteRecord(record, identity, old_content.View(), new_content.View(), change) &&
        SyncFolderOf(record_path)) {
      result = WriteChange(file, old_content.View().size(), change);
    }
    CloseFile(record);  // removed after closing: Windows removes no open file
    if (result != WriteResult::kTorn) RemovePath(record_path);
  }
  CloseFile(file);
  if (record == kNoFile) return SaveFailure::kNoRecordPlace;
  return result == WriteResult::kWritten ? SaveFailure::kNone : SaveFailure::kWriteFailed;
}

}  // namespace ratecalc
