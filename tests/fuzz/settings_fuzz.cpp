// libFuzzer target: any bytes as a settings file must load, save and load
// again without a crash, and the second load must give what the first load
// gave, rounded to two decimals. Built by the "fuzz" preset (clang).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

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

// What a figure becomes after a save and a load.
double Stored(double loaded) {
  const std::string text = ratecalc::FormatValue(loaded);
  return text.size() > 79 ? loaded : ratecalc::ParseValue(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = FuzzPath();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  ratecalc::RateModel first;
  ratecalc::LoadSettings(first, path);
  ratecalc::SaveSettings(first, path);
  ratecalc::RateModel second;
  ratecalc::LoadSettings(second, path);

  Check(second.bCalcWTR == first.bCalcWTR && second.bCalcERNI == first.bCalcERNI);
  Check(second.sCalcMode == first.sCalcMode);
  const double ratecalc::RateModel::*figures[] = {
      &ratecalc::RateModel::nPayAmt,    &ratecalc::RateModel::nChargeAmt,
      &ratecalc::RateModel::nWTRPct,    &ratecalc::RateModel::nERNIPct,
      &ratecalc::RateModel::nMarginAmt, &ratecalc::RateModel::nMarginPct};
  for (auto figure : figures) Check(second.*figure == Stored(first.*figure));
  std::remove(path.c_str());
  return 0;
}
