#include "save_plan.h"

#include <cassert>
#include <initializer_list>

namespace ratecalc {
namespace {

bool HasAllKeys(const IniScan& scan) { return scan.order_count == scan.key_count; }

// Feeds the text from the start of the file to `scan` until it ends or
// the scan has learnt all it can; as raw bytes when `as_bytes`.
bool FeedFile(const Source& source, IniScan& scan, bool as_bytes) {
  if (std::fseek(source.file, 0, SEEK_SET) != 0) return false;
  char buffer[kChunkBytes];
  Decoder decoder;
  decoder.encoding = source.encoding;
  decoder.eight_bit_from_byte = source.eight_bit_from_byte;
  std::uint64_t offset = 0;
  std::size_t got = 0;
  while (!scan.section_ended && (got = std::fread(buffer, 1, sizeof buffer, source.file)) > 0) {
    std::string_view bytes(buffer, got);
    const std::uint64_t skip = offset < source.text_start ? source.text_start - offset : 0;
    bytes.remove_prefix(static_cast<std::size_t>(skip < got ? skip : got));
    const std::uint64_t at = offset + skip;
    offset += got;
    ScanIniText(scan, as_bytes || !source.Utf16() ? bytes : decoder.Decode(bytes, at));
  }
  FinishIniScan(scan);
  return !std::ferror(source.file);
}

void AppendEncoded(ShortText<kMaxSpliceBytes>& out, Encoding encoding,
                   std::initializer_list<std::string_view> texts) {
  char unit[2];
  for (const std::string_view text : texts) {
    for (const char c : text) {
      const std::size_t n = EncodeUnit(c, encoding, unit);
      assert(out.length + n <= kMaxSpliceBytes && "the plan fits its buffer");
      out.Append(std::string_view(unit, n));
    }
  }
}

// Passes the old file's bytes from `position` up to `to` on to `target`
// (or skips them when there is none), the 8-bit section of a UTF-16 file
// turned into UTF-16 on the way. False if the file ends early or anything fails.
bool PassThrough(const Source& source, std::FILE* target, std::uint64_t& position,
                 std::uint64_t to) {
  char bytes[kChunkBytes / 2];
  char units[kChunkBytes];
  while (position < to) {
    const std::size_t want =
        static_cast<std::size_t>(to - position < sizeof bytes ? to - position : sizeof bytes);
    const std::size_t got = std::fread(bytes, 1, want, source.file);
    if (got == 0) return to == UINT64_MAX && !std::ferror(source.file);
    if (target) {
      const std::uint64_t before_eight_bit = source.eight_bit_from_byte - position;
      const std::size_t raw = position >= source.eight_bit_from_byte ? 0
                              : before_eight_bit < got ? static_cast<std::size_t>(before_eight_bit)
                                                       : got;
      std::size_t n = 0;
      for (std::size_t i = raw; i < got; ++i) n += EncodeUnit(bytes[i], source.encoding, units + n);
      if (std::fwrite(bytes, 1, raw, target) != raw || std::fwrite(units, 1, n, target) != n) {
        return false;
      }
    }
    position += got;
  }
  return true;
}

}  // namespace

std::uint64_t Source::ByteOf(std::uint64_t unit) const {
  if (!Utf16()) return text_start + unit;
  if (unit >= eight_bit_from_unit) return eight_bit_from_byte + (unit - eight_bit_from_unit);
  return text_start + 2 * unit;
}

const IniScan& ScannedFile::Loaded() const {
  return !HasAllKeys(scan) && has_eight_bit_section && HasAllKeys(eight_bit_section)
             ? eight_bit_section
             : scan;
}

ReadResult ScanOpenFile(ScannedFile& file) {
  file.scan = StartSettingsScan();
  file.has_eight_bit_section = false;
  char head[kEncodingProbeBytes];
  const std::size_t got = std::fread(head, 1, sizeof head, file.source.file);
  if (std::ferror(file.source.file)) return ReadResult::Unreadable;
  file.source.encoding = DetectEncoding(std::string_view(head, got), file.source.text_start);
  if (file.source.Utf16()) {
    // An earlier version read such a file as 8-bit text and added its
    // section as 8-bit text at the end: seen only when read as bytes.
    file.eight_bit_section = StartSettingsScan();
    if (!FeedFile(file.source, file.eight_bit_section, true)) return ReadResult::Unreadable;
    if (file.eight_bit_section.section_found) {
      file.has_eight_bit_section = true;
      // From the line end before its header, on a unit boundary.
      std::uint64_t at = file.eight_bit_section.section_break;
      at += at % 2;
      if (at > file.eight_bit_section.section_begin) at = file.eight_bit_section.section_begin;
      file.source.eight_bit_from_byte = file.source.text_start + at;
      file.source.eight_bit_from_unit = at / 2;
    }
  }
  return FeedFile(file.source, file.scan, false) ? ReadResult::Read : ReadResult::Unreadable;
}

ReadResult ScanPath(const FilePath& path, ScannedFile& file) {
  file.source = Source{};
  file.scan = StartSettingsScan();
  file.has_eight_bit_section = false;
  const ReadResult opened = OpenForReading(path, file.source.file);
  if (opened != ReadResult::Read) return opened;
  const ReadResult read = ScanOpenFile(file);
  if (read != ReadResult::Read) CloseSource(file);
  return read;
}

void CloseSource(ScannedFile& file) {
  if (file.source.file) std::fclose(file.source.file);
  file.source.file = nullptr;
}

SavePlan PlanSave(const RateModel& model, const ScannedFile& file, bool existed) {
  StoredValues values = StoredFrom(model);
  // A figure too long to write keeps the value the load saw, wherever that was.
  const IniScan& loaded = file.Loaded();
  for (std::size_t i = 0; i < kKeyCount; ++i) {
    if (values[i].fits || &loaded == &file.scan) continue;
    values[i].text.Clear();
    values[i].text.Append(loaded.found[i].value.View());
    values[i].fits = true;
  }
  const IniScan& scan = file.scan;
  const Source& source = file.source;
  const std::string_view eol = LineEndText(scan.line_end);
  SavePlan plan;
  plan.changed =
      !existed || file.has_eight_bit_section;  // a file of two encodings is written as one
  for (std::size_t n = 0; n < scan.order_count; ++n) {
    const std::size_t i = scan.order[n];
    // A text the next load could only read in part is not written at all:
    // the key keeps what the file held rather than a figure cut short.
    if (!values[i].fits) continue;
    const IniKeyLine& line = scan.found[i];
    Splice& splice = plan.splices[plan.count++];
    splice.begin = source.ByteOf(line.begin);
    splice.end = source.ByteOf(line.end);
    // Keep the key as the user spelt it; the rest of the line is the value.
    ShortText<kMaxLineUnits> text;
    text.Append(line.name.View());
    text.PushBack('=');
    text.Append(values[i].text.View());
    assert(text.length == line.name.length + 1 + values[i].text.length && "never cut short");
    if (!line.text_complete || line.text.View() != text.View()) plan.changed = true;
    AppendEncoded(splice.text, source.encoding, {text.View()});
  }

  ShortText<kMaxSpliceBytes> added;
  if (!scan.section_found) {
    if (scan.length > 0 && !scan.EndsWithLineEnd()) AppendEncoded(added, source.encoding, {eol});
    AppendEncoded(added, source.encoding, {"[", kSection, "]", eol});
  } else if (scan.insert_needs_line_end) {
    AppendEncoded(added, source.encoding, {eol});  // the section's last line ends the file bare
  }
  bool adds_key = false;
  for (std::size_t i = 0; i < kKeyCount; ++i) {
    if (scan.found[i].found || !values[i].fits) continue;
    adds_key = true;
    AppendEncoded(added, source.encoding, {KeyName(i), "=", values[i].text.View(), eol});
  }
  if (adds_key) {  // after the last key line, so after every rewrite
    plan.changed = true;
    Splice& splice = plan.splices[plan.count++];
    splice.begin = splice.end = source.ByteOf(scan.section_found ? scan.insert_at : scan.length);
    splice.text = added;
  }
  return plan;
}

bool WriteSpliced(const Source& source, std::FILE* target, const SavePlan& plan) {
  if (source.file && std::fseek(source.file, 0, SEEK_SET) != 0) return false;
  std::uint64_t position = 0;
  for (std::size_t i = 0; i < plan.count; ++i) {
    const Splice& splice = plan.splices[i];
    if (source.file) {
      if (!PassThrough(source, target, position, splice.begin) ||
          !PassThrough(source, nullptr, position, splice.end)) {
        return false;
      }
    }
    const std::string_view text = splice.text.View();
    if (std::fwrite(text.data(), 1, text.size(), target) != text.size()) return false;
  }
  return !source.file || PassThrough(source, target, position, UINT64_MAX);
}

}  // namespace ratecalc
