#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <limits>
#include <string>
#include <thread>

#include "file_access.h"
#include "settings_file.h"
#include "settings_test_support.h"
#include "settings_text_string.h"
#include "value_text.h"

#ifndef _WIN32
#include <pthread.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

namespace ratecalc {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::WorkedExample;
using testing::WorkedKeys;
using testing::WriteFile;

const std::string kDefaultFile =
    "[RateCalc]\r\nbCalcWTR=1\r\nbCalcERNI=1\r\nnPayAmt=0.00\r\nnChargeAmt=0.00\r\n"
    "nWTRPct=12.07\r\nnERNIPct=13.80\r\nnMarginAmt=0.00\r\nnMarginPct=0.00\r\nsCalcMode=Pay\r\n";

TEST(SaveSettings, NewFileHoldsExactlyTheNineLines) {
  TempFolder folder;
  SaveSettings(RateModel{}, folder.File());
  EXPECT_EQ(ReadFile(folder.File()), kDefaultFile);
  EXPECT_EQ(folder.EntryCount(), 1u);  // no temporary file left behind
#ifndef _WIN32
  // The longest path taken (with its end, as long as POSIX systems take),
  // padded with slashes, names the same file.
  const std::string file = folder.File();
  const std::size_t slash = file.rfind('/');
  const std::string longest =
      file.substr(0, slash) + std::string(4095 - file.size(), '/') + file.substr(slash);
  EXPECT_TRUE(SaveSettings(WorkedExample(), longest).saved());
  EXPECT_EQ(ReadFile(file), SettingsTextWithModel(kDefaultFile, WorkedExample()));
#endif
}

struct SaveCase {
  const char* name;
  std::string before;
  std::string after;
};

TEST(SaveSettings, KeepsEveryByteItDoesNotRewrite) {
  const std::string kChunkAndOne = "[Mine]\n" + std::string(65537 - 8, 'x') + "\n";
  const std::string crlf = WorkedKeys("\r\n");
  const std::string lf = WorkedKeys("\n");
  std::string half_nul;  // NULs in half the byte pairs of the encoding probe are no majority
  for (int i = 0; i < 1024; ++i) half_nul += std::string("x\0", 2);
  half_nul = ";" + half_nul + std::string(2026, 'y');
  std::string pasted = "; ";  // UTF-16 pasted into 8-bit text
  for (int i = 0; i < 60; ++i) pasted += std::string("w\0", 2);
  const SaveCase cases[] = {
      {"other section first, CRLF", "[Mine]\r\nx = 1 ; note\r\n\r\n",
       "[Mine]\r\nx = 1 ; note\r\n\r\n[RateCalc]\r\n" + crlf},
      {"LF file gets LF lines", "; top\n[Mine]\nx=1\n", "; top\n[Mine]\nx=1\n[RateCalc]\n" + lf},
      {"no final newline", "[Mine]\nx=1", "[Mine]\nx=1\n[RateCalc]\n" + lf},
      {"keys rewritten in place, spelling and order kept",
       "[Mine]\nk=v\n[ratecalc]\nSCALCMODE = Pay\n; mine\nnPayAmt=1\n\n[Later]\ny=2\n",
       "[Mine]\nk=v\n[ratecalc]\nSCALCMODE=Charge\n; mine\nnPayAmt=14.11\nbCalcWTR=1\n"
       "bCalcERNI=0\nnChargeAmt=20.00\nnWTRPct=12.07\nnERNIPct=13.80\nnMarginAmt=2.00\n"
       "nMarginPct=10.00\n\n[Later]\ny=2\n"},
      {"user's own key in the section kept", "[RateCalc]\r\nmyNote=keep\r\n",
       "[RateCalc]\r\nmyNote=keep\r\n" + crlf},
      {"section without final newline", "[RateCalc]", "[RateCalc]\r\n" + crlf},
      {"duplicate sections: the first is written", "[RateCalc]\nnPayAmt=1\n[RateCalc]\nnPayAmt=2\n",
       "[RateCalc]\nnPayAmt=14.11\nbCalcWTR=1\nbCalcERNI=0\nnChargeAmt=20.00\nnWTRPct=12.07\n"
       "nERNIPct=13.80\nnMarginAmt=2.00\nnMarginPct=10.00\nsCalcMode=Charge\n"
       "[RateCalc]\nnPayAmt=2\n"},
      {"byte-order mark kept", "\xEF\xBB\xBF[RateCalc]\n", "\xEF\xBB\xBF[RateCalc]\n" + lf},
      {"empty file", "", "[RateCalc]\r\n" + crlf},
      {"lines without a key kept", "[RateCalc]\nnot a key line\n",
       "[RateCalc]\n" + lf + "not a key line\n"},
      {"empty first line", "\n[RateCalc]\n", "\n[RateCalc]\n" + lf},
      {"every key there, each with another value",
       "[RateCalc]\nbCalcWTR=0\nbCalcERNI=1\nnPayAmt=1.00\nnChargeAmt=2.00\nnWTRPct=3.00\n"
       "nERNIPct=4.00\nnMarginAmt=5.00\nnMarginPct=6.00\nsCalcMode=Pay\n",
       "[RateCalc]\n" + lf},
      {"every key there, the last line unended",
       "[RateCalc]\nbCalcWTR=1\nbCalcERNI=0\nnPayAmt=14.11\nnChargeAmt=20.00\nnWTRPct=12.07\n"
       "nERNIPct=13.80\nnMarginAmt=2.00\nnMarginPct=10.00\nsCalcMode=Charge",
       "[RateCalc]\n" + lf.substr(0, lf.size() - 1)},
      {"a byte more than a read chunk", kChunkAndOne, kChunkAndOne + "[RateCalc]\n" + lf},
      {"CR-only file stays CR-only", "[Mine]\rx=1\r[RateCalc]\rnote=keep\r[Later]\ry=2",
       "[Mine]\rx=1\r[RateCalc]\rnote=keep\r" + WorkedKeys("\r") + "[Later]\ry=2"},
      {"an 8-bit file with a NUL byte stays 8-bit",
       std::string("[RateCalc]\r\nnPayAmt=5.00\r\n; a note\0\r\n[Mine]\r\nkeep=this line\r\n", 61),
       "[RateCalc]\r\nnPayAmt=14.11\r\n" + crlf.substr(0, crlf.find("nPayAmt")) +
           crlf.substr(crlf.find("nChargeAmt")) + std::string("; a note\0\r\n", 11) +
           "[Mine]\r\nkeep=this line\r\n"},
      {"NULs in half the encoding probe", "[RateCalc]\nnPayAmt=5\n" + half_nul,
       "[RateCalc]\nnPayAmt=14.11\n" + lf.substr(0, lf.find("nPayAmt")) +
           lf.substr(lf.find("nChargeAmt")) + half_nul},
      {"a UTF-16 fragment in an 8-bit file", "[RateCalc]\nnPayAmt=5\n" + pasted + "\n",
       "[RateCalc]\nnPayAmt=14.11\n" + lf.substr(0, lf.find("nPayAmt")) +
           lf.substr(lf.find("nChargeAmt")) + pasted + "\n"},
      {"NULs filling most of the encoding probe", std::string(4001, '\0') + "x=1",
       std::string(4001, '\0') + "x=1\r\n[RateCalc]\r\n" + crlf},
      {"a lone CR in an LF file ends a line", "[RateCalc]\nsCalcMode=\rCharge\n",
       "[RateCalc]\nsCalcMode=Charge\r" + lf.substr(0, lf.find("sCalcMode")) + "Charge\n"},
  };
  TempFolder folder;
  for (const SaveCase& c : cases) {
    WriteFile(folder.File(), c.before);
    SaveSettings(WorkedExample(), folder.File());
    EXPECT_EQ(ReadFile(folder.File()), c.after) << c.name;
    EXPECT_EQ(SettingsTextWithModel(c.before, WorkedExample()), c.after) << c.name;
  }
  EXPECT_EQ(folder.EntryCount(), 1u);
}

TEST(SaveSettings, RoundTripGivesTheModelRoundedToTwoDecimals) {
  TempFolder folder;
  RateModel saved = WorkedExample();
  saved.nWTRPct = 12.3456;
  saved.nMarginPct = 9.996;
  SaveSettings(saved, folder.File());
  RateModel loaded;
  LoadSettings(loaded, folder.File());
  EXPECT_EQ(loaded.nPayAmt, 14.11);
  EXPECT_EQ(loaded.nWTRPct, 12.35);
  EXPECT_EQ(loaded.nMarginPct, 10.0);
  EXPECT_EQ(loaded.bCalcERNI, 0);
  EXPECT_EQ(loaded.sCalcMode, CalcMode::Charge);
  const std::string first = ReadFile(folder.File());
  std::filesystem::last_write_time(
      folder.File(), std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  const auto long_ago = std::filesystem::last_write_time(folder.File());  // as the disk keeps it
  SaveSettings(loaded, folder.File());
  EXPECT_EQ(ReadFile(folder.File()), first);
  EXPECT_EQ(std::filesystem::last_write_time(folder.File()), long_ago);  // nothing to change
}

TEST(SaveSettings, FiguresTooLongToReadBackKeepTheFileValue) {
  TempFolder folder;
  WriteFile(folder.File(), "[RateCalc]\nnPayAmt=5\n");
  RateModel m;
  m.nPayAmt = 1e80;
  m.nChargeAmt = 1e75;
  m.nMarginAmt = -std::numeric_limits<double>::infinity();
  m.nWTRPct = 2e75;  // 79 characters: the longest figure written
  m.nERNIPct = 2e76;
  ASSERT_EQ(FormatValue(m.nWTRPct).size(), 79u);
  SaveSettings(m, folder.File());
  RateModel loaded;
  LoadSettings(loaded, folder.File());
  EXPECT_EQ(loaded.nPayAmt, 5.0);
  EXPECT_EQ(loaded.nChargeAmt, 1e75);
  EXPECT_EQ(loaded.nMarginAmt, 0.0);
  EXPECT_NE(ReadFile(folder.File()).find("nMarginAmt=-inf\n"), std::string::npos);
  EXPECT_EQ(FormatValue(loaded.nWTRPct), FormatValue(2e75));
  EXPECT_EQ(loaded.nERNIPct, 13.8);
}

TEST(SaveSettings, ImpossibleSaveChangesNothing) {
  TempFolder folder;
  EXPECT_EQ(SaveSettings(RateModel{}, folder.File("missing-folder/KOVRateCalc.ini")).failure,
            SaveFailure::kNotWritable);
  EXPECT_FALSE(std::filesystem::exists(folder.File("missing-folder")));

  std::filesystem::create_directory(folder.File("a-folder"));
  EXPECT_EQ(SaveSettings(RateModel{}, folder.File("a-folder")).failure, SaveFailure::kNotAFile);
  EXPECT_TRUE(std::filesystem::is_directory(folder.File("a-folder")));

  WriteFile(folder.File(), "[Mine]\nx=1\n");
  std::filesystem::permissions(
      folder.File(), std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  EXPECT_EQ(SaveSettings(WorkedExample(), folder.File()).failure, SaveFailure::kNotWritable);
  EXPECT_EQ(ReadFile(folder.File()), "[Mine]\nx=1\n");
  EXPECT_EQ(folder.EntryCount(), 2u);

  EXPECT_EQ(SaveSettings(RateModel{}, "").failure, SaveFailure::kNoPath);
  const std::string too_long(4096, 'a');  // with its end, more than POSIX systems take
  EXPECT_EQ(SaveSettings(RateModel{}, too_long).failure, SaveFailure::kNoPath);
  EXPECT_EQ(SaveFailureText(SaveFailure::kNone), "saved");
  EXPECT_EQ(SaveFailureText(SaveFailure::kWriteFailed), "writing it failed (the disk may be full)");
  EXPECT_EQ(SaveFailureText(static_cast<SaveFailure>(10)), "unknown");  // one past the last
}

#ifndef _WIN32
// A disk that fills up part-way: the file size limit makes writes fail.
TEST(SaveSettings, FullDiskLeavesTheOldFileWhole) {
  TempFolder folder;
  const std::string old = "[Mine]\n" + std::string(3000, 'x') + "\n";
  WriteFile(folder.File(), old);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1024;
  setrlimit(RLIMIT_FSIZE, &small);
  SaveSettings(WorkedExample(), folder.File());
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(ReadFile(folder.File()), old);
  EXPECT_EQ(folder.EntryCount(), 1u);
}
#endif

TEST(SaveSettings, ConcurrentSavesNeverMix) {
  TempFolder folder;
  const std::string padding = "[Mine]\n" + std::string(200000, 'p') + "\n";
  WriteFile(folder.File(), padding);
  RateModel a = WorkedExample();
  RateModel b;
  b.nPayAmt = 7;
  SaveSettings(a, folder.File());
  const std::string file_a = ReadFile(folder.File());
  WriteFile(folder.File(), padding);
  SaveSettings(b, folder.File());
  const std::string file_b = ReadFile(folder.File());

  std::atomic<bool> stop{false};
  std::atomic<int> mixed{0};
  // The reader looks now and then: one that holds the file open all the
  // time keeps a save on Windows from replacing it, and the save then
  // writes in place, where only a reader that locks is kept from a mixture.
  std::thread reader([&] {
    while (!stop) {
      const std::string now = ReadFile(folder.File());
      if (!now.empty() && now != file_a && now != file_b) ++mixed;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  std::thread writer_a([&] {
    for (int i = 0; i < 100; ++i) SaveSettings(a, folder.File());
  });
  for (int i = 0; i < 100; ++i) SaveSettings(b, folder.File());
  writer_a.join();
  stop = true;
  reader.join();
  EXPECT_EQ(mixed.load(), 0);
  const std::string last = ReadFile(folder.File());
  EXPECT_TRUE(last == file_a || last == file_b);
}

#ifndef _WIN32
// A load and saves both ways (replacing, and in place for a file with two
// names) fit a thread's stack of 128 KB: the file is held on the heap.
TEST(SaveSettings, RunsOnASmallStack) {
  TempFolder folder;
  WriteFile(folder.File(), "[Mine]\n" + std::string(200000, 'x') + "\n");
  const auto body = [](void* path) -> void* {
    const std::string& file = *static_cast<const std::string*>(path);
    RateModel m;
    LoadSettings(m, file);
    SaveSettings(WorkedExample(), file);
    std::filesystem::create_hard_link(file, file + ".link");
    m.nPayAmt = 41.11;
    SaveSettings(m, file);
    return nullptr;
  };
  std::string path = folder.File();
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 128 * 1024);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attributes, body, &path), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  EXPECT_NE(ReadFile(folder.File() + ".link").find("nPayAmt=41.11"), std::string::npos);
}
#endif

#ifdef __linux__
// Many saves and loads in a row leave no file open behind them.
TEST(SaveSettings, ManySavesLeaveNoFileOpen) {
  const auto open_files = [] {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return std::distance(std::filesystem::begin(fds), std::filesystem::end(fds));
  };
  TempFolder folder;
  const auto before = open_files();
  RateModel m = WorkedExample();
  for (int i = 0; i < 200; ++i) {
    m.nPayAmt = i;
    SaveSettings(m, folder.File());
    LoadSettings(m, folder.File());
    EXPECT_TRUE(SaveSettings(m, folder.File()).saved());  // with nothing to change
  }
  EXPECT_EQ(open_files(), before);
}
#endif

}  // namespace
}  // namespace ratecalc
