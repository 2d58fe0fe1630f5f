#include "in_place_save.h"

#include <algorithm>
#include <cstring>

namespace ratecalc {
namespace {

// A record holds at most both whole contents and its header.
constexpr std::uint64_t kMaxRecordBytes = 2 * kMaxSettingsBytes + 4096;

// From `begin` on, `bytes` in place of the old, the file `new_length` long.
struct Change {
  std::uint64_t begin = 0;
  std::string_view bytes;
  std::uint64_t new_length = 0;
};

enum class WriteResult { kWritten, kUnchanged, kTorn };
enum class Verdict { kLeave, kRemove, kReplay };

// The record's header, 64-bit fields in the byte order of the machine,
// which a record never leaves: a mark, the file's volume and number, old
// and new lengths, where the change begins, how many bytes end both alike
// (only when the length stays), a hash of the body and one of the fields
// before it. The body: the changed new bytes, then the old ones.
// clang-format off
enum Field { kMark, kVolume, kNumber, kOldLength, kNewLength, kBegin, kAlikeEnd, kBodyHash,
             kCheck, kFieldCount };
// clang-format on
constexpr std::uint64_t kRecordMark = 0x336f646572564f4bull;  // "KOVredo3"
constexpr std::size_t kFieldBytes = 8;
constexpr std::size_t kHeaderBytes = kFieldCount * kFieldBytes;
using Fields = std::uint64_t[kFieldCount];

std::uint64_t CheckOf(std::string_view header) {
  return Hash(Slice(header, 0, kCheck * kFieldBytes));
}

// Whether the middle holds the new bytes up to some point and the old after
// it, or the zeros of room taken where it grew.
bool HoldsOldNewOrBetween(std::string_view middle, std::string_view old_middle,
                          std::string_view new_middle) {
  std::size_t at = 0;
  while (at < middle.size() && at < new_middle.size() && middle[at] == new_middle[at]) ++at;
  for (; at < middle.size(); ++at)
    if (middle[at] != (at < old_middle.size() ? old_middle[at] : '\0')) return false;
  return true;
}

// Step P5; kUnchanged when no byte changed (no room for a longer file).
WriteResult WriteChange(FileHandle file, std::uint64_t old_length, const Change& change) {
  if (change.new_length > old_length && !SetLengthAndSync(file, change.new_length))
    return SetLengthAndSync(file, old_length) ? WriteResult::kUnchanged : WriteResult::kTorn;
  const bool written = WriteAt(file, change.bytes.data(), change.bytes.size(), change.begin) &&
                       SetLengthAndSync(file, change.new_length);
  return written ? WriteResult::kWritten : WriteResult::kTorn;
}

// Step P4, into the new, empty record; sets the change to write.
bool WriteRecord(FileHandle record, const FileIdentity& file, std::string_view old_content,
                 std::string_view new_content, Change& change) {
  const std::size_t shorter = std::min(old_content.size(), new_content.size());
  std::size_t begin = 0, alike_end = 0;
  while (begin < shorter && old_content[begin] == new_content[begin]) ++begin;
  while (old_content.size() == new_content.size() && alike_end < shorter - begin &&
         old_content[shorter - 1 - alike_end] == new_content[shorter - 1 - alike_end]) {
    ++alike_end;
  }
  const std::string_view old_middle =
      Slice(old_content, begin, old_content.size() - begin - alike_end);
  const std::string_view new_middle =
      Slice(new_content, begin, new_content.size() - begin - alike_end);
  change = {begin, new_middle, new_content.size()};
  Fields fields = {
      kRecordMark,        file.volume, file.number, old_content.size(),
      new_content.size(), begin,       alike_end,   Hash(old_middle, Hash(new_middle))};
  const char* header = reinterpret_cast<const char*>(fields);
  fields[kCheck] = CheckOf({header, kHeaderBytes});
  return WriteAt(record, new_middle.data(), new_middle.size(), kHeaderBytes) &&
         WriteAt(record, old_middle.data(), old_middle.size(), kHeaderBytes + new_middle.size()) &&
         Sync(record) && WriteAt(record, header, kHeaderBytes, 0) && Sync(record);
}

// Steps F2 and F3 for a record no process holds; kReplay sets the change.
Verdict JudgeRecord(std::string_view record, const FileIdentity& file, std::string_view content,
                    Change& change) {
  Fields f = {};
  if (record.size() >= kHeaderBytes) std::memcpy(f, record.data(), kHeaderBytes);
  if (f[kMark] == 0) return Verdict::kRemove;  // no header yet: the file untouched
  const bool whole = f[kMark] == kRecordMark && f[kCheck] == CheckOf(record);  // not damaged
  if (!whole || f[kVolume] != file.volume || f[kNumber] != file.number) return Verdict::kLeave;
  if (f[kOldLength] > kMaxSettingsBytes || f[kNewLength] > kMaxSettingsBytes ||
      f[kBegin] + f[kAlikeEnd] > std::min(f[kOldLength], f[kNewLength]) ||
      record.size() !=
          kHeaderBytes + f[kOldLength] + f[kNewLength] - 2 * (f[kBegin] + f[kAlikeEnd])) {
    return Verdict::kLeave;  // damaged: nothing can be proven of it
  }
  // All within kMaxSettingsBytes now.
  const auto begin = static_cast<std::size_t>(f[kBegin]);
  const auto alike_end = static_cast<std::size_t>(f[kAlikeEnd]);
  const auto new_size = static_cast<std::size_t>(f[kNewLength]) - begin - alike_end;
  const std::string_view new_middle = Slice(record, kHeaderBytes, new_size);
  const std::string_view old_middle = Slice(record, kHeaderBytes + new_size);
  if (Hash(old_middle, Hash(new_middle)) != f[kBodyHash]) return Verdict::kLeave;
  const std::size_t length = content.size();
  const bool fits = (length == f[kOldLength] || length == f[kNewLength]) &&
                    length >= begin + alike_end &&
                    HoldsOldNewOrBetween(Slice(content, begin, length - begin - alike_end),
                                         old_middle, new_middle);
  if (fits) change = {begin, new_middle, f[kNewLength]};
  return fits ? Verdict::kReplay : Verdict::kRemove;
}

}  // namespace

std::uint64_t Hash(std::string_view bytes, std::uint64_t hash) {
  for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return hash;
}

LoadOutcome ReadWhole(FileHandle file, HeapBytes& bytes, FileIdentity* identity,
                      std::uint64_t limit) {
  std::uint64_t length = 0;
  FileIdentity described;
  if (!Describe(file, length, identity ? *identity : described)) return LoadOutcome::kUnreadable;
  if (length > limit) return LoadOutcome::kTooLarge;
  const auto size = static_cast<std::size_t>(length);
  return bytes.Resize(size) && ReadAll(file, bytes.Data(), size) ? LoadOutcome::kRead
                                                                 : LoadOutcome::kUnreadable;
}

SaveFailure ReadAndChange(FileHandle file, const RateModel& model, HeapBytes& old_content,
                          HeapBytes& new_content, FileIdentity* identity) {
  const LoadOutcome read =
      file == kNoFile ? LoadOutcome::kRead : ReadWhole(file, old_content, identity);
  if (read == LoadOutcome::kTooLarge) return SaveFailure::kTooLarge;
  if (read != LoadOutcome::kRead) return SaveFailure::kWriteFailed;
  // Refused, the text would be over the limit (or, unlikely at this size, memory ran out).
  if (!WriteSettingsText(old_content.View(), model, HeapBytes::Sink, &new_content))
    return SaveFailure::kTooLarge;
  return new_content.Failed() ? SaveFailure::kWriteFailed : SaveFailure::kNone;
}

bool RecordPath(const FileIdentity& identity, int slot, FilePath& record, bool create) {
  return PrivateFolder(record, create) && record.Append("/") && record.AppendHex(identity.volume) &&
         record.Append("-") && record.AppendHex(identity.number) && record.Append("~kovredo") &&
         record.AppendHex(static_cast<std::uint64_t>(slot));
}

bool FinishInterruptedSave(const FilePath& target) {
  const FileFacts facts = InspectFile(target);
  FileHandle file = kNoFile;
  HeapBytes content;
  FileIdentity identity;
  bool settled = true;
  for (int slot = 0; settled && facts.exists && slot < kSlots; ++slot) {
    FilePath path;
    const FileHandle record = RecordPath(facts.identity, slot, path) ? OpenOwn(path) : kNoFile;
    if (record == kNoFile) continue;  // none, or not this user's: left alone
    if (file == kNoFile &&
        (facts.read_only || OpenLocked(target, true, file) != OpenResult::kOpened ||
         ReadWhole(file, content, &identity) != LoadOutcome::kRead)) {
      CloseFile(record);
      settled = false;  // a file that cannot be locked or read is finished by a later run
      continue;
    }
    HeapBytes bytes;
    Change change;
    const bool read = ReadWhole(record, bytes, nullptr, kMaxRecordBytes) == LoadOutcome::kRead;
    CloseFile(record);
    const Verdict verdict =
        read ? JudgeRecord(bytes.View(), identity, content.View(), change) : Verdict::kLeave;
    settled = verdict != Verdict::kReplay ||
              (WriteChange(file, content.View().size(), change) == WriteResult::kWritten &&
               ReadWhole(file, content) == LoadOutcome::kRead);  // else the record stays
    if (settled && verdict != Verdict::kLeave) RemoveAbandoned(path);
  }
  if (file != kNoFile) CloseFile(file);
  return settled;
}

SaveFailure SaveInPlace(const RateModel& model, const FilePath& target) {
  FileHandle file = kNoFile;
  const OpenResult opened = OpenLocked(target, true, file);
  if (opened != OpenResult::kOpened) return OpenFailure(opened);
  HeapBytes old_content, new_content;
  FileIdentity identity;
  SaveFailure failure = ReadAndChange(file, model, old_content, new_content, &identity);
  FilePath record_path;
  FileHandle record = kNoFile;
  const bool changed = failure == SaveFailure::kNone && new_content.View() != old_content.View();
  for (int slot = 0; changed && record == kNoFile && slot < kSlots; ++slot)
    if (RecordPath(identity, slot, record_path, true)) record = CreateHeld(record_path);
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
