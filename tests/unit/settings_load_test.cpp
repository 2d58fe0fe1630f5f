#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <tuple>
#include <utility>

#include "file_access.h"
#include "model_keys.h"
#include "settings_file.h"
#include "settings_test_support.h"
#include "value_text.h"

namespace ratecalc {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

// The model as one line of text in the file's key order, so a table row
// reads like the file.
std::string Describe(const RateModel& m) {
  std::string out;
  for (const FlagKey& flag : kFlags) out += std::to_string(m.*flag.member) + " ";
  for (const FigureKey& figure : kFigures) out += FormatValue(m.*figure.member) + " ";
  return out + std::to_string(static_cast<int>(m.sCalcMode));
}

const char* const kDefaults = "1 1 0.00 0.00 12.07 13.80 0.00 0.00 1";

struct LoadCase {
  const char* name;
  std::string content;
  const char* expected;
};

RateModel Scrambled() {
  RateModel m;
  m.nPayAmt = m.nChargeAmt = m.nMarginAmt = m.nMarginPct = m.nWTRPct = m.nERNIPct = 99;
  m.bCalcWTR = m.bCalcERNI = 7;
  m.sCalcMode = CalcMode::Margin;
  return m;
}

void ExpectLoads(std::initializer_list<LoadCase> cases) {
  TempFolder folder;
  for (const LoadCase& c : cases) {
    WriteFile(folder.File(), c.content);
    RateModel m = Scrambled();  // every field must be set, whatever it held
    EXPECT_EQ(LoadSettings(m, folder.File()), LoadOutcome::kRead) << c.name;
    EXPECT_EQ(Describe(m), c.expected) << c.name;
    m = Scrambled();  // the text alone reads the same, as a page without files reads it
    EXPECT_EQ(ModelFromSettingsText(c.content, m), LoadOutcome::kRead) << c.name;
    EXPECT_EQ(Describe(m), c.expected) << c.name;
  }
}

TEST(LoadSettings, MissingFileGivesDefaults) {
  TempFolder folder;
  // legend: path, what the load says
  const std::pair<std::string, LoadOutcome> cases[] = {
      {folder.File(), LoadOutcome::kMissing},
      {folder.File("no-such-folder/KOVRateCalc.ini"), LoadOutcome::kMissing},
      {"", LoadOutcome::kUnreadable},
  };
  for (const auto& [path, outcome] : cases) {
    RateModel m = Scrambled();
    EXPECT_EQ(LoadSettings(m, path), outcome) << path;
    EXPECT_EQ(Describe(m), kDefaults) << path;
  }
  // A first run keeps what it ends with.
  EXPECT_TRUE(SaveSettings(RateModel{}, folder.File()).saved());
  EXPECT_NE(ReadFile(folder.File()), "");
}

TEST(LoadSettings, DefaultsForWhateverTheFileLacks) {
  ExpectLoads({
      {"empty file", "", kDefaults},
      {"one byte", "\n", kDefaults},
      {"other section only", "[Other]\nnPayAmt=5\n", kDefaults},
      {"section without keys", "[RateCalc]\n", kDefaults},
      {"keys before any section", "nPayAmt=5\n[RateCalc]\n", kDefaults},
      {"names that are ours but for a letter or a prefix",
       "[Rate]\nnPayAmt=5\n[XateCalc]\nnPayAmt=5\n[RateCalc]\nnPay=5\nxPayAmt=5\nnPayAmtX=5\n",
       kDefaults},
      {"empty first line", "\n[RateCalc]\nnPayAmt=5\n", "1 1 5.00 0.00 12.07 13.80 0.00 0.00 1"},
      {"some keys", "[RateCalc]\nnPayAmt=5\nsCalcMode=Margin\n",
       "1 1 5.00 0.00 12.07 13.80 0.00 0.00 3"},
      {"empty values are present", "[RateCalc]\nbCalcWTR=\nnWTRPct=\nsCalcMode=\n",
       "0 1 0.00 0.00 0.00 13.80 0.00 0.00 1"},
  });
}

TEST(LoadSettings, EachKeyByItsOwnRule) {
  ExpectLoads({
      {"full file",
       "[RateCalc]\r\nbCalcWTR=0\r\nbCalcERNI=1\r\nnPayAmt=14.11\r\nnChargeAmt=20.00\r\n"
       "nWTRPct=12.07\r\nnERNIPct=13.80\r\nnMarginAmt=2.00\r\nnMarginPct=10.00\r\n"
       "sCalcMode=Charge\r\n",
       "0 1 14.11 20.00 12.07 13.80 2.00 10.00 2"},
      {"mode lower case", "[RateCalc]\nsCalcMode=charge\n", kDefaults},
      {"mode Cost", "[RateCalc]\nsCalcMode=Cost\n", "1 1 0.00 0.00 12.07 13.80 0.00 0.00 2"},
      {"mode Markup", "[RateCalc]\nsCalcMode=Markup\n", "1 1 0.00 0.00 12.07 13.80 0.00 0.00 3"},
      {"mode word", "[RateCalc]\nsCalcMode=Pay me\n", kDefaults},
      {"flag 2", "[RateCalc]\nbCalcWTR=2\n", "0 1 0.00 0.00 12.07 13.80 0.00 0.00 1"},
      {"flag -1", "[RateCalc]\nbCalcWTR=-1\n", "0 1 0.00 0.00 12.07 13.80 0.00 0.00 1"},
      {"flag word", "[RateCalc]\nbCalcWTR=yes\n", "0 1 0.00 0.00 12.07 13.80 0.00 0.00 1"},
      {"flag 11", "[RateCalc]\nbCalcWTR=11\n", "0 1 0.00 0.00 12.07 13.80 0.00 0.00 1"},
      {"flag 4294967297 does not wrap to 1", "[RateCalc]\nbCalcWTR=4294967297\n",
       "0 1 0.00 0.00 12.07 13.80 0.00 0.00 1"},
      {"flag 19", "[RateCalc]\nbCalcWTR=19\n", "0 1 0.00 0.00 12.07 13.80 0.00 0.00 1"},
      {"flag +1 and 01", "[RateCalc]\nbCalcWTR=+1\nbCalcERNI=01\n", kDefaults},
      {"flag spaced, signed, padded or followed by text",
       "[RateCalc]\nbCalcWTR= 1\nbCalcERNI=+001 on\n", kDefaults},
      {"percent sign after a number", "[RateCalc]\nnWTRPct=12.07%\n", kDefaults},
      {"number not a number", "[RateCalc]\nnWTRPct=twelve\n",
       "1 1 0.00 0.00 0.00 13.80 0.00 0.00 1"},
      {"two decimals are not enforced", "[RateCalc]\nnPayAmt=1.005\n",
       "1 1 1.00 0.00 12.07 13.80 0.00 0.00 1"},
  });
}

TEST(LoadSettings, OnlySeventyNineCharactersOfAValueCount) {
  TempFolder folder;
  WriteFile(folder.File(),
            "[RateCalc]\nnPayAmt=" + std::string(78, '0') + std::string(22, '1') + "\n");
  RateModel m;
  LoadSettings(m, folder.File());
  EXPECT_EQ(m.nPayAmt, ParseValue(std::string(78, '0') + "1"));
}

// A figure whose text no field can hold would block every calculation.
TEST(LoadSettings, FigureTooLongForAFieldLoadsAsTheDefault) {
  ASSERT_EQ(FormatValue(-1e75).size(), 79u);
  ASSERT_EQ(FormatValue(1e76).size(), 80u);
  const std::string longest = "1 1 0.00 0.00 12.07 13.80 " + FormatValue(-1e75) + " 0.00 1";
  ExpectLoads({
      {"1e100", "[RateCalc]\nnChargeAmt=1e100\nnWTRPct=1e90\n", kDefaults},
      {"80 characters", "[RateCalc]\nnPayAmt=1e76\n", kDefaults},
      {"79 characters", "[RateCalc]\nnMarginAmt=-1e75\n", longest.c_str()},
  });
}

TEST(LoadSettings, ReadsLikeThePlatformProfileFunctions) {
  ExpectLoads({
      {"names ignore case", "[ratecalc]\nNPAYAMT=5\n", "1 1 5.00 0.00 12.07 13.80 0.00 0.00 1"},
      {"white space around everything", "  [ RateCalc ]  \n\t nPayAmt \t=  5  \n",
       "1 1 5.00 0.00 12.07 13.80 0.00 0.00 1"},
      {"first section wins", "[RateCalc]\nnPayAmt=5\n[RateCalc]\nnPayAmt=6\nnChargeAmt=7\n",
       "1 1 5.00 0.00 12.07 13.80 0.00 0.00 1"},
      {"first key wins", "[RateCalc]\nnPayAmt=5\nnPayAmt=6\n",
       "1 1 5.00 0.00 12.07 13.80 0.00 0.00 1"},
      {"quotes removed", "[RateCalc]\nsCalcMode=\"Margin\"\nnPayAmt='5'\n",
       "1 1 5.00 0.00 12.07 13.80 0.00 0.00 3"},
      {"unmatched quotes kept", "[RateCalc]\nsCalcMode=\"Margin'\n", kDefaults},
      {"comments never match", "[RateCalc]\n;nPayAmt=5\nnPayAmt\n", kDefaults},
      {"broken header is no section", "[RateCalc\nnPayAmt=5\n", kDefaults},
      {"byte-order mark ignored", "\xEF\xBB\xBF[RateCalc]\nnPayAmt=5\n",
       "1 1 5.00 0.00 12.07 13.80 0.00 0.00 1"},
      {"CRLF, no final newline", "[RateCalc]\r\nnPayAmt=5\r\nnChargeAmt=6",
       "1 1 5.00 6.00 12.07 13.80 0.00 0.00 1"},
      {"lines ended by CR alone", "[RateCalc]\rnPayAmt=5\rsCalcMode=Margin\r",
       "1 1 5.00 0.00 12.07 13.80 0.00 0.00 3"},
      {"a lone CR in an LF file ends a line", "[RateCalc]\nsCalcMode=\rCharge\nnPayAmt=5\r\n",
       "1 1 5.00 0.00 12.07 13.80 0.00 0.00 1"},
      {"the next section ends ours", "[RateCalc]\n[Other]\nnPayAmt=5\n", kDefaults},
      {"binary noise", std::string("\0\x01[RateCalc]\xff\n\0=\0\n", 18), kDefaults},
  });
}

// A file over the limit is no settings file: it loads as the defaults at
// once, unread, and no save writes to it or makes it one; one at the limit
// reads as any other.
TEST(LoadSettings, FileOverTheLimitIsNeitherReadNorWritten) {
  TempFolder folder;
  const std::string section = "\n[RateCalc]\nnPayAmt=5\n";
  // legend: file size, what a load gives, what a save gives
  const std::tuple<std::size_t, LoadOutcome, SaveFailure> cases[] = {
      {kMaxSettingsBytes - 200, LoadOutcome::kRead, SaveFailure::kNone},
      {kMaxSettingsBytes - 10, LoadOutcome::kRead, SaveFailure::kTooLarge},  // it would grow over
      {kMaxSettingsBytes, LoadOutcome::kRead, SaveFailure::kTooLarge},
      {kMaxSettingsBytes + 1, LoadOutcome::kTooLarge, SaveFailure::kTooLarge},
      {std::size_t{40} << 20, LoadOutcome::kTooLarge, SaveFailure::kTooLarge},
  };
  for (const auto& [size, outcome, failure] : cases) {
    const std::string content = ";" + std::string(size - section.size() - 1, 'x') + section;
    WriteFile(folder.File(), content);
    const bool read = outcome == LoadOutcome::kRead;
    RateModel m;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(LoadSettings(m, folder.File()), outcome) << size;
    // Not retried: a retried load sleeps at least kBusyRetryMs in all, which
    // no load that is not retried takes even on a busy machine.
    if (!read) {
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kBusyRetryMs));
    }
    EXPECT_EQ(m.nPayAmt, read ? 5.0 : 0.0) << size;
    m = RateModel{};
    EXPECT_EQ(ModelFromSettingsText(content, m), outcome) << size;
    EXPECT_EQ(m.nPayAmt, read ? 5.0 : 0.0) << size;
    m.nPayAmt = 7;
    EXPECT_EQ(SaveSettings(m, folder.File()).failure, failure) << size;
    EXPECT_EQ(ReadFile(folder.File()) == content, failure != SaveFailure::kNone) << size;
    EXPECT_EQ(LoadSettings(m, folder.File()), outcome) << size;
  }
}

}  // namespace
}  // namespace ratecalc
