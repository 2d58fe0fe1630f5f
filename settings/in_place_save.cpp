#include "in_place_save.h"

#include "redo_record.h"
#include "save_plan.h"

namespace ratecalc {
namespace {

constexpr std::string_view kRecordSuffix = ".redo";
constexpr std::string_view kPrivateRecordPrefix = "/KOVRateCalc-";

// Step F3, or the end of P5: replays the record into the locked file when
// it fits it, and removes it when the file holds it or it does not fit.
// `drop_if_unchanged`: a fresh record whose write changed nothing goes too.
void ReplayRecord(const FilePath& record_path, const LockedFile& locked, bool drop_if_unchanged) {
  bool present = false;
  std::FILE* record = OpenOwnRecord(record_path, present);
  RecordHeader header;
  const bool fits = record && RecordFitsFile(record, locked, header);
  const InPlaceResult result =
      fits ? OverwriteInPlace(record, kRecordHeaderBytes, header.new_length, locked)
           : InPlaceResult::Unchanged;
  if (record) std::fclose(record);
  if (present && (!fits || result == InPlaceResult::Written ||
                  (drop_if_unchanged && result == InPlaceResult::Unchanged))) {
    RemovePath(record_path);
  }
}

// Steps P3 and P4: false when there is no record to replay.
bool WriteRecord(const ScannedFile& file, const SavePlan& plan, const LockedFile& locked,
                 std::FILE* record, const FilePath& temporary, const FilePath& record_path) {
  const char room[kRecordHeaderBytes] = {};
  const bool written = std::fwrite(room, 1, sizeof room, record) == sizeof room &&
                       WriteSpliced(file.source, record, plan) && CompleteRecord(record, locked);
  if (!written) {
    std::fclose(record);
    return false;
  }
  return CloseAndRename(record, temporary, record_path);
}

}  // namespace

bool RecordPath(const FilePath& target, int place, FilePath& record, bool create) {
  if (place == kBesideFile) {
    record = target;
    return record.Append(kRecordSuffix);
  }
  // Named after the file's identity, so that every path to it finds it.
  FileIdentity identity;
  return IdentityOfPath(target, identity) && PrivateFolder(record, create) &&
         record.Append(kPrivateRecordPrefix) && AppendHex(record, identity.device) &&
         record.Append("-") && AppendHex(record, identity.number) && record.Append(kRecordSuffix);
}

void FinishInterruptedSave(const FilePath& target) {
  for (int place = 0; place < kRecordPlaces; ++place) {
    FilePath record;
    if (!RecordPath(target, place, record) || !PathExists(record)) continue;
    if (!PathExists(target)) {
      RemovePath(record);
      continue;
    }
    if (IsReadOnlyFile(target)) continue;
    LockedFile locked = OpenLocked(target);
    if (!locked) return;
    if (PathExists(record))
      ReplayRecord(record, locked, false);  // unless a save finished it meanwhile
    CloseLocked(locked);
  }
}

void SaveInPlace(const RateModel& model, const FilePath& target) {
  ScannedFile file;
  LockedFile locked = OpenLocked(target);
  if (!locked) return;
  file.source.file = locked.Stream();
  const SavePlan plan =
      ScanOpenFile(file) == ReadResult::Read ? PlanSave(model, file, true) : SavePlan{};
  FilePath temporary;
  FilePath record_path;
  std::FILE* record = nullptr;
  for (int place = 0; plan.changed && !record && place < kRecordPlaces; ++place) {
    if (RecordPath(target, place, record_path, true)) {
      record = CreateTemporaryBeside(record_path, temporary);
    }
  }
  if (record) {
    if (WriteRecord(file, plan, locked, record, temporary, record_path)) {
      ReplayRecord(record_path, locked, true);
    }
    RemovePath(temporary);  // left only when the rename failed
  } else if (std::FILE* scratch = plan.changed ? CreateScratchFile() : nullptr) {
    // Without a place for the record the write goes ahead unrecorded.
    std::uint64_t length = 0;
    if (WriteSpliced(file.source, scratch, plan) && std::fflush(scratch) == 0 &&
        LengthOf(scratch, length)) {
      OverwriteInPlace(scratch, 0, length, locked);
    }
    std::fclose(scratch);
  }
  CloseLocked(locked);
}

}  // namespace ratecalc
