// The nine keys: how each value reads and is stored, and where a save
// writes them in the file's text.
#include "settings_text.h"

#include <algorithm>
#include <charconv>
#include <initializer_list>
#include <numeric>

#include "model_keys.h"
#include "text_form.h"
#include "value_text.h"

namespace ratecalc {
namespace {

constexpr std::size_t kFirstFigure = std::size(kFlags);

void ModelFromScan(const SettingsScan& scan, RateModel& model) {
  const RateModel defaults;
  // The platform reads an integer from the value's start (optional sign,
  // digits); only exactly 1 switches a flag on.
  for (std::size_t i = 0; i < kFirstFigure; ++i) {
    std::string_view digits = scan.keys[i].value;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    digits = Slice(digits, 0, digits.find_first_not_of("0123456789"));
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    model.*kFlags[i].member = scan.keys[i].found ? digits == "1" : defaults.*kFlags[i].member;
  }
  // A figure the window could not show in full would leave its field stuck:
  // such a figure loads as the default.
  for (std::size_t i = 0; i < std::size(kFigures); ++i) {
    const KeyLine& line = scan.keys[kFirstFigure + i];
    const double value = ParseValue(line.value);
    const bool shown = line.found && FormatValueText(value).length <= kMaxValueTextLength;
    model.*kFigures[i].member = shown ? value : defaults.*kFigures[i].member;
  }
  // A mode by its first letter; any other, or a missing key's empty value, is Pay.
  model.sCalcMode = defaults.sCalcMode;
  for (const ModeName& known : kModes) {
    if (Slice(scan.keys[kModeKeyIndex].value, 0, 1) == std::string_view(known.name, 1))
      model.sCalcMode = known.mode;
  }
}

// A value as the file stores it; `fits` false for one that the next load
// could only read in part, which is not written.
struct StoredValue {
  ValueText text;
  std::string_view view;
  bool fits = true;
};

void StoreValues(const RateModel& model, StoredValue (&values)[kKeyCount]) {
  for (std::size_t i = 0; i < kModeKeyIndex; ++i) {
    ValueText& text = values[i].text;
    if (i < kFirstFigure) {  // "%d"
      const int flag = model.*kFlags[i].member;
      text.length = static_cast<std::size_t>(
          std::to_chars(text.chars, std::end(text.chars), flag).ptr - text.chars);
    } else {
      text = FormatValueText(model.*kFigures[i - kFirstFigure].member);
    }
    values[i].fits = text.length <= kMaxValueTextLength;
    values[i].view = text.view();
  }
  values[kModeKeyIndex].view = NameOf(model.sCalcMode);
}

// A file's text, its section, and the one a load reads: of a UTF-16 file
// with an earlier version's 8-bit section at its end, the complete one.
struct ReadText {
  DecodedText text;
  SettingsScan scan, eight_bit;
  bool from_eight_bit = false;

  bool Read(std::string_view bytes) {
    if (bytes.size() > kMaxSettingsBytes || !DecodeText(bytes, text)) return false;
    scan = ScanSettings(text.units);
    if (text.eight_bit_from != SIZE_MAX)
      eight_bit = ScanSettings(Slice(text.units, text.eight_bit_from));
    from_eight_bit = scan.found_count < kKeyCount && eight_bit.found_count == kKeyCount;
    return true;
  }
};

// Hands on the file's text with the values written in.
void WriteText(const ReadText& read, const StoredValue (&values)[kKeyCount], TextSink sink,
               void* context) {
  const DecodedText& text = read.text;
  const SettingsScan& scan = read.scan;
  const auto encode = [&](std::initializer_list<std::string_view> pieces) {
    for (const std::string_view piece : pieces) EncodeText(piece, text.encoding, sink, context);
  };
  std::size_t passed = 0;  // bytes handed on
  const auto pass_on = [&](std::size_t to) {
    sink(context, Slice(text.bytes, passed, to - passed));
    passed = to;
  };
  // Each key line of the section rewritten where it stands, in file order,
  // the key spelt as the user spelt it.
  std::size_t order[kKeyCount];
  std::iota(order, order + kKeyCount, std::size_t{0});
  std::sort(order, order + kKeyCount,
            [&](std::size_t a, std::size_t b) { return scan.keys[a].begin < scan.keys[b].begin; });
  bool adds_key = false;
  for (const std::size_t i : order) {
    const KeyLine& line = scan.keys[i];
    adds_key |= !line.found && values[i].fits;
    if (!line.found || !values[i].fits) continue;
    pass_on(text.ByteOf(line.begin));
    encode({line.name, "=", values[i].view});
    passed = text.ByteOf(line.end);
  }
  // The keys it lacks after the section's last key line; a missing section at the end.
  if (adds_key) {
    pass_on(text.ByteOf(scan.section_found ? scan.insert_at : text.units.size()));
    if (!scan.section_found) {
      const char last = text.units.empty() ? '\n' : text.units.back();
      if (last != '\r' && last != '\n') encode({scan.line_end});
      encode({"[RateCalc]", scan.line_end});
    } else if (scan.insert_needs_line_end) {
      encode({scan.line_end});
    }
    for (std::size_t i = 0; i < kKeyCount; ++i) {
      if (!scan.keys[i].found && values[i].fits)
        encode({SettingsKey(i), "=", values[i].view, scan.line_end});
    }
  }
  pass_on(text.bytes.size());
}

}  // namespace

LoadOutcome ModelFromSettingsText(std::string_view file_bytes, RateModel& model) {
  ReadText read;
  const bool done = read.Read(file_bytes);
  ModelFromScan(read.from_eight_bit ? read.eight_bit : read.scan, model);
  if (done) return LoadOutcome::kRead;
  return file_bytes.size() > kMaxSettingsBytes ? LoadOutcome::kTooLarge : LoadOutcome::kUnreadable;
}

bool HasSettingsSection(std::string_view file_bytes) {
  ReadText read;
  return read.Read(file_bytes) && (read.scan.section_found || read.eight_bit.section_found);
}

bool WriteSettingsText(std::string_view file_bytes, const RateModel& model, TextSink sink,
                       void* context) {
  ReadText read;
  if (!read.Read(file_bytes)) return false;
  StoredValue values[kKeyCount];
  StoreValues(model, values);
  // A figure too long to write keeps the value the load saw, wherever that was.
  for (std::size_t i = kFirstFigure; i < kModeKeyIndex; ++i) {
    if (values[i].fits || !read.from_eight_bit) continue;
    values[i].view = read.eight_bit.keys[i].value;
    values[i].fits = true;
  }
  // A file the next load would refuse is not written.
  std::size_t size = 0;
  const TextSink count = [](void* n, std::string_view piece) {
    *static_cast<std::size_t*>(n) += piece.size();
  };
  WriteText(read, values, count, &size);
  if (size > kMaxSettingsBytes) return false;
  WriteText(read, values, sink, context);
  return true;
}

}  // namespace ratecalc
