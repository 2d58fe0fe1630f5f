// libFuzzer target: any bytes as a settings file must load, save and load
// again without a crash, the second load must give what the first load
// gave, rounded to two decimals, and the file's load and save must give
// what the text functions give. The first byte chooses the file's form:
// the rest as 8-bit text; as UTF-16LE with each byte one character, which
// must load and save exactly as the 8-bit file does; or as raw UTF-16LE
// after a byte-order mark. Built by the "fuzz" preset (clang).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "../unit/settings_text_string.h"
#include "model_keys.h"
#include "settings_file.h"
#include "value_text.h"

namespace {

const std::string& FuzzPath() {
  static const std::string path = "settings_fuzz_" + std::to_string(std::rand()) + ".ini";
  return path;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// What a figure becomes after a save and a load.
double Stored(double loaded) {
  const std::string text = ratecalc::FormatValue(loaded);
  return text.size() > ratecalc::kMaxValueTextLength ? loaded : ratecalc::ParseValue(text);
}

bool SameModel(const ratecalc::RateModel& a, const ratecalc::RateModel& b, bool stored) {
  if (a.sCalcMode != b.sCalcMode) return false;
  for (const ratecalc::FlagKey& flag : ratecalc::kFlags) {
    if (a.*flag.member != b.*flag.member) return false;
  }
  for (const ratecalc::FigureKey& figure : ratecalc::kFigures) {
    const double expected = stored ? Stored(a.*figure.member) : a.*figure.member;
    if (!(b.*figure.member == expected)) return false;
  }
  return true;
}

// Loads, saves and loads again; the saved file comes back in `saved`.
ratecalc::RateModel RoundTrip(const std::string& content, std::string& saved) {
  const std::string& path = FuzzPath();
  WriteFile(path, content);
  ratecalc::RateModel first;
  ratecalc::LoadSettings(first, path);
  ratecalc::SaveSettings(first, path);
  ratecalc::RateModel second;
  ratecalc::LoadSettings(second, path);
  Check(SameModel(first, second, true));
  saved = ReadFile(path);
  std::remove(path.c_str());
  // The file's save and the text's agree, and so do its loads.
  Check(saved == ratecalc::SettingsTextWithModel(content, first));
  ratecalc::RateModel from_text;
  ratecalc::ModelFromSettingsText(content, from_text);
  Check(SameModel(first, from_text, false));
  return first;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string saved;
  switch (data[0] % 3) {
    case 0:
      RoundTrip(text, saved);
      break;
    case 1: {
      std::string wide = "\xFF\xFE";
      for (const char c : text) wide.append({c, '\0'});
      const ratecalc::RateModel from_wide = RoundTrip(wide, saved);
      // A leading byte-order mark, or a NUL where the encoding is probed
      // (the mark of UTF-16 without a byte-order mark), makes the 8-bit file
      // a different one.
      const std::string probe = text.substr(0, 4096);
      if (text.rfind("\xEF\xBB\xBF", 0) == 0 || text.rfind("\xFF\xFE", 0) == 0 ||
          text.rfind("\xFE\xFF", 0) == 0 || probe.find('\0') != std::string::npos) {
        break;
      }
      std::string narrow_saved;
      const ratecalc::RateModel from_narrow = RoundTrip(text, narrow_saved);
      // Control bytes on one side of most pairs read as unmarked UTF-16 too,
      // whose key lines a save writes wide: that is a different file as well.
      if (narrow_saved.find(std::string("P\0a", 3)) != std::string::npos) break;
      Check(SameModel(from_narrow, from_wide, false));
      std::string widened = "\xFF\xFE";
      for (const char c : narrow_saved) widened.append({c, '\0'});
      Check(saved == widened);
      break;
    }
    default:
      RoundTrip("\xFF\xFE" + text, saved);
      Check(saved.rfind("\xFF\xFE", 0) == 0);
      break;
  }
  return 0;
}
