// The file operations where the platforms agree.
#include "file_access.h"

#include <atomic>
#include <cstring>

namespace ratecalc {
namespace {

// base.<hex process id>-<hex count>.tmp: the shortest such suffix, and a
// process id's most hex digits (they are 32-bit numbers).
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kShortestTemporarySuffix = sizeof ".0-0.tmp" - 1;
constexpr std::size_t kMaxProcessDigits = 8;

char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool FilePath::Assign(std::string_view text) {
  length = 0;
  chars[0] = '\0';
  return Append(text);
}

bool FilePath::Append(std::string_view text) {
  if (text.size() > kMaxPathLength - length || text.find('\0') != std::string_view::npos) {
    length = 0;
    chars[0] = '\0';
    return false;
  }
  std::memcpy(chars + length, text.data(), text.size());
  length += text.size();
  chars[length] = '\0';
  return true;
}

std::size_t FolderLength(std::string_view path) {
  std::size_t end = path.size();
  while (end > 0 && !IsSeparator(path[end - 1])) --end;
  return end;
}

bool AppendHex(FilePath& out, std::uint64_t value) {
  char digits[2 * sizeof value];
  std::size_t n = sizeof digits;
  do {
    digits[--n] = "0123456789abcdef"[value % 16];
    value /= 16;
  } while (value != 0);
  return out.Append(std::string_view(digits + n, sizeof digits - n));
}

bool FirstDifference(std::FILE* source, std::uint64_t offset, std::FILE* target,
                     std::uint64_t length, std::uint64_t& at) {
  char ours[kChunkBytes];
  char theirs[kChunkBytes];
  for (at = 0; at < length;) {
    const std::size_t want =
        static_cast<std::size_t>(length - at < kChunkBytes ? length - at : kChunkBytes);
    if (ReadAt(source, ours, want, offset + at) != want) return false;
    const std::size_t got = ReadAt(target, theirs, want, at);
    std::size_t same = 0;
    while (same < got && ours[same] == theirs[same]) ++same;
    at += same;
    if (same < want) return true;
  }
  return true;
}

bool TemporaryOwner(std::string_view name, std::string_view base, bool fold_case,
                    unsigned long& pid) {
  const std::size_t n = base.size();
  if (name.size() < n + kShortestTemporarySuffix || name[n] != '.') return false;
  for (std::size_t i = 0; i < n; ++i) {
    const bool same = fold_case ? FoldCase(name[i]) == FoldCase(base[i]) : name[i] == base[i];
    if (!same) return false;
  }
  const std::size_t digits_end = name.size() - kTemporarySuffix.size();
  if (TextFrom(name, digits_end) != kTemporarySuffix) return false;
  const std::string_view middle(name.data() + n + 1, digits_end - n - 1);
  const std::size_t dash = middle.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == middle.size() ||
      dash > kMaxProcessDigits) {
    return false;
  }
  pid = 0;
  for (std::size_t i = 0; i < middle.size(); ++i) {
    if (i == dash) continue;
    const int digit = HexDigit(middle[i]);
    if (digit < 0) return false;
    if (i < dash) pid = pid * 16 + static_cast<unsigned long>(digit);
  }
  return true;
}

bool NextTemporaryPath(const FilePath& target, FilePath& temporary) {
  static std::atomic<unsigned long> counter{0};
  temporary = target;
  return temporary.Append(".") && AppendHex(temporary, ProcessId()) && temporary.Append("-") &&
         AppendHex(temporary, counter++) && temporary.Append(kTemporarySuffix);
}

InPlaceResult OverwriteInPlace(std::FILE* source, std::uint64_t offset, std::uint64_t length,
                               const LockedFile& locked) {
  std::FILE* const target = locked.Stream();
  std::uint64_t old_length = 0;
  std::uint64_t at = 0;
  if (std::fflush(source) != 0 || !LengthOf(target, old_length) ||
      !FirstDifference(source, offset, target, length < old_length ? length : old_length, at)) {
    return InPlaceResult::Unchanged;
  }
  if (at == length && length == old_length) return InPlaceResult::Written;
  if (length > old_length && !Reserve(target, length)) return InPlaceResult::Unchanged;
  // On from the first difference, in as few writes as the buffer allows.
  char buffer[kChunkBytes];
  while (at < length) {
    const std::size_t want =
        static_cast<std::size_t>(length - at < kChunkBytes ? length - at : kChunkBytes);
    if (ReadAt(source, buffer, want, offset + at) != want || !WriteAt(target, buffer, want, at)) {
      return InPlaceResult::Torn;
    }
    at += want;
  }
  return CutAndSync(target, length) ? InPlaceResult::Written : InPlaceResult::Torn;
}

}  // namespace ratecalc
