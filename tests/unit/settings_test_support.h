// A private folder per test, and whole-file reads and writes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "file_access.h"
#include "in_place_save.h"
#include "rate_model.h"

namespace ratecalc::testing {

class TempFolder {
 public:
  TempFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            (std::string("ratecalc-") + info->test_suite_name() + "-" + info->name() + "-" +
             std::to_string(std::random_device{}()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(File(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string File(const std::string& name = "KOVRateCalc.ini") const {
    return (path_ / name).string();
  }
  std::size_t EntryCount() const {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(path_)) ++n;
    return n;
  }

 private:
  std::filesystem::path path_;
};

inline void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The worked example as the window leaves it, pay not yet rounded.
inline RateModel WorkedExample() {
  RateModel m;
  m.nPayAmt = 14.113577;
  m.nChargeAmt = 20;
  m.nMarginAmt = 2;
  m.nMarginPct = 10;
  m.bCalcERNI = 0;
  m.sCalcMode = CalcMode::Charge;
  return m;
}

// The nine lines a save of WorkedExample() writes, each ended by `eol`.
inline std::string WorkedKeys(const std::string& eol) {
  std::string out;
  for (const char* line :
       {"bCalcWTR=1", "bCalcERNI=0", "nPayAmt=14.11", "nChargeAmt=20.00", "nWTRPct=12.07",
        "nERNIPct=13.80", "nMarginAmt=2.00", "nMarginPct=10.00", "sCalcMode=Charge"}) {
    out += line + eol;
  }
  return out;
}

// The name of record `slot` of the file at `path`, and those that exist now.
inline std::string RecordPathOf(const std::string& path, int slot = 0) {
  FilePath target;
  FilePath record;
  target.Assign(path);
  return RecordPath(InspectFile(target).identity, slot, record) ? std::string(record.View()) : "";
}

inline std::vector<std::string> RecordsOf(const std::string& path) {
  std::vector<std::string> found;
  for (int slot = 0; slot < kSlots; ++slot) {
    const std::string record = RecordPathOf(path, slot);
    if (std::filesystem::exists(std::filesystem::symlink_status(record))) found.push_back(record);
  }
  return found;
}

}  // namespace ratecalc::testing
