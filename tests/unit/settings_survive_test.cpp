// What the settings file must survive on a user's machine: files that are
// briefly unreadable, folders that are not writable, links, permissions,
// killed saves, sizes far beyond memory and files saved as UTF-16.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "settings_file.h"
#include "settings_test_support.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#endif
#ifdef _WIN32
#include <windows.h>
#endif
#ifdef __linux__
#include <linux/capability.h>
#include <sys/syscall.h>
#endif

namespace ratecalc {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WorkedExample;
using testing::WorkedKeys;
using testing::WriteFile;

// UTF-16LE bytes of the text, byte-order mark first.
std::string Utf16(const std::u16string& text) {
  std::string out = "\xFF\xFE";
  for (char16_t unit : text) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  }
  return out;
}

TEST(SettingsSurvive, Utf16FileReadsAndKeepsItsText) {
  // legend: file before, pay loaded, file after saving WorkedExample()
  struct Case {
    std::u16string before;
    double pay;
    std::u16string after;
  };
  // clang-format off
  const Case cases[] = {
      {u"[RateCalc]\r\nnPayAmt=5\r\n", 5,
       u"[RateCalc]\r\nnPayAmt=14.11\r\nbCalcWTR=1\r\nbCalcERNI=0\r\nnChargeAmt=20.00\r\nnWTRPct=12.07\r\n"
       u"nERNIPct=13.80\r\nnMarginAmt=2.00\r\nnMarginPct=10.00\r\nsCalcMode=Charge\r\n"},
      {u"[Caf\u00e9]\nn\u00e4me=\u2603 \U0001F600\n\u0A0D\u0D0A=\u0A00\n[ratecalc]\n NPAYAMT = \"7\" \n", 7,
       u"[Caf\u00e9]\nn\u00e4me=\u2603 \U0001F600\n\u0A0D\u0D0A=\u0A00\n[ratecalc]\nNPAYAMT=14.11\nbCalcWTR=1\n"
       u"bCalcERNI=0\nnChargeAmt=20.00\nnWTRPct=12.07\nnERNIPct=13.80\nnMarginAmt=2.00\n"
       u"nMarginPct=10.00\nsCalcMode=Charge\n"},
      {u"", 0, u"[RateCalc]\r\nbCalcWTR=1\r\nbCalcERNI=0\r\nnPayAmt=14.11\r\nnChargeAmt=20.00\r\n"
       u"nWTRPct=12.07\r\nnERNIPct=13.80\r\nnMarginAmt=2.00\r\nnMarginPct=10.00\r\nsCalcMode=Charge\r\n"},
      {u"; \u00fc\r\n[Other]\r\nnPayAmt=9", 0,
       u"; \u00fc\r\n[Other]\r\nnPayAmt=9\r\n[RateCalc]\r\nbCalcWTR=1\r\nbCalcERNI=0\r\nnPayAmt=14.11\r\n"
       u"nChargeAmt=20.00\r\nnWTRPct=12.07\r\nnERNIPct=13.80\r\nnMarginAmt=2.00\r\nnMarginPct=10.00\r\n"
       u"sCalcMode=Charge\r\n"},
  };
  // clang-format on
  TempFolder folder;
  for (const Case& c : cases) {
    WriteFile(folder.File(), Utf16(c.before));
    RateModel m;
    LoadSettings(m, folder.File());
    EXPECT_EQ(m.nPayAmt, c.pay) << ReadFile(folder.File());
    SaveSettings(WorkedExample(), folder.File());
    EXPECT_EQ(ReadFile(folder.File()), Utf16(c.after));
  }
}

// A temporary file is removed only once the save that wrote it has ended.
TEST(SettingsSurvive, StaleTemporaryFilesGoLiveOnesStay) {
#ifdef _WIN32
  const unsigned long self = GetCurrentProcessId();
#else
  const unsigned long self = static_cast<unsigned long>(getpid());
#endif
  // legend: process id in the name (one that no process can have, or this
  // one), whether the file must survive the next save
  struct Case {
    unsigned long pid;
    bool stays;
  };
  const Case cases[] = {{0x3ffffff0, false}, {0x3ffffff4, false}, {self, true}};
  TempFolder folder;
  WriteFile(folder.File(), "[RateCalc]\n");
  const auto name_of = [&folder](unsigned long pid) {
    char name[64];
    std::snprintf(name, sizeof name, "KOVRateCalc.ini.%lx-7.tmp", pid);
    return folder.File(name);
  };
  for (const Case& c : cases) WriteFile(name_of(c.pid), "partial");
  SaveSettings(RateModel{}, folder.File());
  for (const Case& c : cases) EXPECT_EQ(fs::exists(name_of(c.pid)), c.stays) << name_of(c.pid);
  // Names that only look like ours are the user's.
  for (const char* name : {"KOVRateCalc.ini.3ffffff0-.tmp", "KOVRateCalc.ini.-7.tmp"}) {
    WriteFile(folder.File(name), "mine");
    SaveSettings(RateModel{}, folder.File());
    EXPECT_TRUE(fs::exists(folder.File(name))) << name;
  }
}

#ifdef _WIN32
TEST(SettingsSurvive, SavingKeepsAttributesAndHardLinks) {
  // legend: attributes the file has before a save, and after it with the
  // archive bit that marks every changed file
  const DWORD cases[] = {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM,
                         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE};
  TempFolder folder;
  for (const DWORD attributes : cases) {
    WriteFile(folder.File(), "[Mine]\n");
    SetFileAttributesA(folder.File().c_str(), attributes);
    SaveSettings(RateModel{}, folder.File());
    EXPECT_EQ(GetFileAttributesA(folder.File().c_str()), attributes | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_NE(ReadFile(folder.File()).find("nWTRPct=12.07"), std::string::npos);
    SetFileAttributesA(folder.File().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  ASSERT_TRUE(CreateHardLinkA(folder.File("other.ini").c_str(), folder.File().c_str(), nullptr));
  SaveSettings(WorkedExample(), folder.File());
  EXPECT_EQ(ReadFile(folder.File("other.ini")), ReadFile(folder.File()));
  EXPECT_NE(ReadFile(folder.File()).find("sCalcMode=Charge"), std::string::npos);
}
#endif

#ifndef _WIN32
// Drops the file permission override a root user has, for the scope.
class AsOrdinaryUser {
 public:
  AsOrdinaryUser() {
#ifdef __linux__
    syscall(SYS_capget, &header_, saved_);
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    syscall(SYS_capset, &header_, reduced);
#endif
  }
  ~AsOrdinaryUser() {
#ifdef __linux__
    syscall(SYS_capset, &header_, saved_);
#endif
  }
  AsOrdinaryUser(const AsOrdinaryUser&) = delete;
  AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

 private:
#ifdef __linux__
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
#endif
};

TEST(SettingsSurvive, UnreadableAtStartIsNeverOverwritten) {
  TempFolder folder;
  const std::string stored = "[RateCalc]\nnPayAmt=5\n";
  WriteFile(folder.File(), stored);
  fs::permissions(folder.File(), fs::perms::owner_write);
  RateModel m;
  {
    AsOrdinaryUser user;
    LoadSettings(m, folder.File());
  }
  EXPECT_EQ(m.nPayAmt, 0.0);
  fs::permissions(folder.File(), fs::perms::owner_read | fs::perms::owner_write);
  SaveSettings(m, folder.File());  // the lock has gone, but this run read nothing
  EXPECT_EQ(ReadFile(folder.File()), stored);

  LoadSettings(m, folder.File());  // a later run that reads the file saves again
  SaveSettings(WorkedExample(), folder.File());
  LoadSettings(m, folder.File());
  EXPECT_EQ(m.nPayAmt, 14.11);
}

TEST(SettingsSurvive, WritableFileInUnwritableFolderIsSaved) {
  TempFolder folder;
  WriteFile(folder.File(), "[Mine]\nx=1\n");
  const fs::path dir = fs::path(folder.File()).parent_path();
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
  {
    AsOrdinaryUser user;
    SaveSettings(WorkedExample(), folder.File());
  }
  fs::permissions(dir, fs::perms::owner_all);
  EXPECT_EQ(ReadFile(folder.File()),
            "[Mine]\nx=1\n"
            "[RateCalc]"
            "\n" +
                WorkedKeys("\n"));
  EXPECT_EQ(folder.EntryCount(), 1u);
}

TEST(SettingsSurvive, SavingKeepsWhatTheFileIs) {
  TempFolder folder;
  const std::string link = folder.File(), target = folder.File("t");
  const std::string saved =
      "[Mine]\nx=1\n"
      "[RateCalc]"
      "\n" +
      WorkedKeys("\n");

  WriteFile(target, "[Mine]\nx=1\n");
  fs::create_symlink("t", link);
  SaveSettings(WorkedExample(), link);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(target), saved) << "symbolic link";

  fs::remove(target);
  SaveSettings(WorkedExample(), link);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(target),
            ""
            "[RateCalc]"
            "\r\n" +
                WorkedKeys("\r\n"))
      << "dangling symbolic link";

  fs::remove(link);
  fs::remove(target);
  WriteFile(link, "[Mine]\nx=1\n");
  fs::create_hard_link(link, target);
  SaveSettings(WorkedExample(), link);
  EXPECT_EQ(fs::hard_link_count(link), 2u);
  EXPECT_EQ(ReadFile(target), saved) << "hard link";
  fs::remove(target);

  // legend: permission bits that must survive a save
  for (const mode_t mode : {0600, 0640, 0604, 0660}) {
    WriteFile(link, "[Mine]\n");
    chmod(link.c_str(), mode);
    const bool root = geteuid() == 0;
    if (root) {
      ASSERT_EQ(chown(link.c_str(), 65534, 65534), 0);
    }
    SaveSettings(WorkedExample(), link);
    struct stat info {};
    stat(link.c_str(), &info);
    EXPECT_EQ(info.st_mode & 07777, mode);
    EXPECT_EQ(info.st_uid, root ? 65534u : geteuid());
    EXPECT_EQ(ReadFile(link),
              "[Mine]\n"
              "[RateCalc]"
              "\n" +
                  WorkedKeys("\n"));
  }
  EXPECT_EQ(folder.EntryCount(), 1u);
}

// How many temporary files of ours lie beside the settings file; with a
// process id, only that process's.
std::size_t TemporaryFiles(const TempFolder& folder, pid_t pid = 0) {
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "KOVRateCalc.ini.%lx-", static_cast<unsigned long>(pid));
  std::size_t n = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(folder.File()).parent_path())) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".tmp" && (pid == 0 || name.rfind(prefix, 0) == 0)) ++n;
  }
  return n;
}

TEST(SettingsSurvive, KilledSavesLeaveNoLitterAfterTheNextSave) {
  TempFolder folder;
  WriteFile(folder.File(), "[Mine]\n" + std::string(1 << 20, 'x') + "\n");
  int landed = 0;  // kills that left a temporary file
  for (int i = 0; i < 20; ++i) {
    const pid_t child = fork();
    if (child == 0) {
      RateModel m = WorkedExample();
      for (;;) {
        m.nPayAmt += 1;
        SaveSettings(m, folder.File());
      }
    }
    // Kill it while its temporary file exists, or after a while regardless.
    for (int wait = 0; wait < 500 && TemporaryFiles(folder, child) == 0; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    landed += TemporaryFiles(folder, child) > 0;
  }
  ASSERT_GT(landed, 0);
  SaveSettings(WorkedExample(), folder.File());
  EXPECT_EQ(folder.EntryCount(), 1u);
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RATECALC_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define RATECALC_ASAN 1
#endif

// Loads and saves the file with 96 MB of address space; a fresh copy of this
// program does it, so that nothing earlier tests mapped counts.
TEST(SettingsSurvive, FileLargerThanMemoryLoadsAndSaves) {
#ifdef RATECALC_ASAN
  GTEST_SKIP() << "the sanitizers reserve terabytes of address space";
#else
  if (const char* path = std::getenv("RATECALC_MEMORY_CHILD")) {
    const rlimit limit{96u << 20, 96u << 20};
    setrlimit(RLIMIT_AS, &limit);
    RateModel m;
    LoadSettings(m, path);
    m.nPayAmt += 1;
    SaveSettings(m, path);
    std::_Exit(m.nPayAmt == 6 ? 0 : 1);
  }
  TempFolder folder;
  {
    std::FILE* file = std::fopen(folder.File().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    const std::string line = "k=" + std::string(1000, 'v') + "\n";
    for (int i = 0; i < 128 * 1024; ++i) std::fwrite(line.data(), 1, line.size(), file);
    std::fputs("[RateCalc]\nnPayAmt=5\n", file);
    std::fclose(file);
  }
  const pid_t child = fork();
  if (child == 0) {
    setenv("RATECALC_MEMORY_CHILD", folder.File().c_str(), 1);
    execl("/proc/self/exe", "settings_tests",
          "--gtest_filter=SettingsSurvive.FileLargerThanMemoryLoadsAndSaves", nullptr);
    std::_Exit(2);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  RateModel m;
  LoadSettings(m, folder.File());
  EXPECT_EQ(m.nPayAmt, 6.0);
#endif
}
#endif

}  // namespace
}  // namespace ratecalc
