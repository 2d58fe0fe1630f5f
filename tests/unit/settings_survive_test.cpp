// What the settings file must survive on a user's machine: files that are
// briefly unreadable, folders that are not writable, links, permissions,
// killed saves, sizes far beyond memory and files saved as UTF-16.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "file_access.h"
#include "in_place_save.h"
#include "settings_file.h"
#include "settings_test_support.h"
#include "settings_text_string.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <thread>
#include <tuple>
#include <vector>
#endif
#ifdef _WIN32
#include <windows.h>
// After windows.h.
#include <sddl.h>
#endif
#ifdef __linux__
#include <linux/capability.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

#include <cstddef>
#endif

namespace ratecalc {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WorkedExample;
using testing::WorkedKeys;
using testing::WriteFile;

enum class Wide { LeMarked, BeMarked, LeUnmarked, BeUnmarked };

// UTF-16 bytes of the text, little-endian with a byte-order mark unless told.
std::string Utf16(const std::u16string& text, Wide form = Wide::LeMarked) {
  const bool be = form == Wide::BeMarked || form == Wide::BeUnmarked;
  std::string out = form == Wide::LeMarked ? "\xFF\xFE" : form == Wide::BeMarked ? "\xFE\xFF" : "";
  for (char16_t unit : text) {
    const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
    out += be ? high : low;
    out += be ? low : high;
  }
  return out;
}

TEST(SettingsSurvive, Utf16FileReadsAndKeepsItsText) {
  const std::u16string saved =
      u"[RateCalc]\r\nnPayAmt=14.11\r\nbCalcWTR=1\r\nbCalcERNI=0\r\nnChargeAmt=20.00\r\n"
      u"nWTRPct=12.07\r\nnERNIPct=13.80\r\nnMarginAmt=2.00\r\nnMarginPct=10.00\r\n"
      u"sCalcMode=Charge\r\n";
  // legend: form, file before (then 8-bit text an earlier version added),
  // pay loaded, file after saving WorkedExample()
  struct Case {
    Wide form;
    std::u16string before;
    std::string added;
    double pay;
    std::u16string after;
  };
  // clang-format off
  const Case cases[] = {
      {Wide::LeMarked, u"[RateCalc]\r\nnPayAmt=5\r\n", "", 5, saved},
      {Wide::BeMarked, u"[RateCalc]\r\nnPayAmt=5\r\n", "", 5, saved},
      {Wide::LeUnmarked, u"[RateCalc]\r\nnPayAmt=5\r\n", "", 5, saved},
      {Wide::BeUnmarked, u"[RateCalc]\r\nnPayAmt=5\r\n", "", 5, saved},
      {Wide::LeUnmarked, u"[RateCalc]\r\nnPayAmt=55\r\n", "", 55, saved},
      {Wide::BeUnmarked, u"[RateCalc]\r\nnPayAmt=55\r\n", "", 55, saved},
      {Wide::LeUnmarked, u"\r\n[RateCalc]\r\nnPayAmt=5\r\n", "", 5, u"\r\n" + saved},
      {Wide::BeUnmarked, u"\r\n[RateCalc]\r\nnPayAmt=5\r\n", "", 5, u"\r\n" + saved},
      {Wide::LeUnmarked, u"; \u20ac\r\n[RateCalc]\r\nnPayAmt=5\r\n", "", 5, u"; \u20ac\r\n" + saved},
      {Wide::BeUnmarked, u"; \u0100\r\n[RateCalc]\r\nnPayAmt=5\r\n", "", 5, u"; \u0100\r\n" + saved},
      {Wide::BeUnmarked, u";" + std::u16string(2100, u'x') + u"\r\n[RateCalc]\r\nnPayAmt=5\r\n", "", 5,
       u";" + std::u16string(2100, u'x') + u"\r\n" + saved},
      {Wide::LeUnmarked, u";" + std::u16string(900, u'\u03b1') + u"\r\n[RateCalc]\r\nnPayAmt=5\r\n", "", 5,
       u";" + std::u16string(900, u'\u03b1') + u"\r\n" + saved},
      {Wide::LeMarked, u"[RateCalc]\r\nnPayAmt=5\r\n", "\r\n[RateCalc]\r\n; \xa3 \x80\r\n", 5,
       saved + u"\r\n[RateCalc]\r\n; \u00a3 \u20ac\r\n"},
      {Wide::LeMarked, u"[Caf\u00e9]\nn\u00e4me=\u2603 \U0001F600\n\u0A0D\u0D0A=\u0A00\n[ratecalc]\n NPAYAMT = \"7\" \n", "", 7,
       u"[Caf\u00e9]\nn\u00e4me=\u2603 \U0001F600\n\u0A0D\u0D0A=\u0A00\n[ratecalc]\nNPAYAMT=14.11\nbCalcWTR=1\n"
       u"bCalcERNI=0\nnChargeAmt=20.00\nnWTRPct=12.07\nnERNIPct=13.80\nnMarginAmt=2.00\n"
       u"nMarginPct=10.00\nsCalcMode=Charge\n"},
      {Wide::LeMarked, u"", "", 0, u"[RateCalc]\r\nbCalcWTR=1\r\nbCalcERNI=0\r\nnPayAmt=14.11\r\nnChargeAmt=20.00\r\n"
       u"nWTRPct=12.07\r\nnERNIPct=13.80\r\nnMarginAmt=2.00\r\nnMarginPct=10.00\r\nsCalcMode=Charge\r\n"},
      {Wide::LeMarked, u"; \u00fc\r\n[Other]\r\nnPayAmt=9", "", 0,
       u"; \u00fc\r\n[Other]\r\nnPayAmt=9\r\n[RateCalc]\r\nbCalcWTR=1\r\nbCalcERNI=0\r\nnPayAmt=14.11\r\n"
       u"nChargeAmt=20.00\r\nnWTRPct=12.07\r\nnERNIPct=13.80\r\nnMarginAmt=2.00\r\nnMarginPct=10.00\r\n"
       u"sCalcMode=Charge\r\n"},
      {Wide::LeMarked, u"[Other]\r\nk=v\r\n", "\r\n[RateCalc]\r\nnPayAmt=5\r\n", 5,
       u"[Other]\r\nk=v\r\n\r\n" + saved},
      {Wide::BeMarked, u"[Other]\r\nk=v\r\n", "\r\n[RateCalc]\r\nnPayAmt=5\r\n", 5,
       u"[Other]\r\nk=v\r\n\r\n" + saved},
      {Wide::LeMarked, u"[Other]\r\nk=v\r\n", "\r\n\r\n[RateCalc]\r\nnPayAmt=5\r\n", 5,
       u"[Other]\r\nk=v\r\n\r\n\r\n" + saved},
      {Wide::LeMarked, u"[RateCalc]\r\n\u016EPayAmt=9\r\nnPayAmt=5\r\n", "", 5,
       u"[RateCalc]\r\n\u016EPayAmt=9\r\n" + saved.substr(12)},
      {Wide::LeMarked, u"[RateCalc]\r\nnPayAmt=5\r\n", "\n[RateCalc]\nbCalcWTR=1\nbCalcERNI=0\nnPayAmt=6\n"
       "nChargeAmt=0\nnWTRPct=0\nnERNIPct=0\nnMarginAmt=0\nnMarginPct=0\nsCalcMode=Pay\n", 6,
       saved + u"\n[RateCalc]\nbCalcWTR=1\nbCalcERNI=0\nnPayAmt=6\nnChargeAmt=0\nnWTRPct=0\nnERNIPct=0\n"
       u"nMarginAmt=0\nnMarginPct=0\nsCalcMode=Pay\n"},
  };
  // clang-format on
  TempFolder folder;
  for (const Case& c : cases) {
    WriteFile(folder.File(), Utf16(c.before, c.form) + c.added);
    RateModel m;
    LoadSettings(m, folder.File());
    EXPECT_EQ(m.nPayAmt, c.pay) << "row " << &c - cases;
    SaveSettings(WorkedExample(), folder.File());
    EXPECT_TRUE(ReadFile(folder.File()) == Utf16(c.after, c.form)) << "row " << &c - cases;
    const std::string before = Utf16(c.before, c.form) + c.added;
    EXPECT_TRUE(SettingsTextWithModel(before, WorkedExample()) == Utf16(c.after, c.form))
        << "row " << &c - cases;
    EXPECT_EQ(ModelFromSettingsText(before, m), LoadOutcome::kRead);
    EXPECT_EQ(m.nPayAmt, c.pay) << "row " << &c - cases;
  }
  // Figures loaded from the 8-bit section: one too long to write keeps the
  // value the load saw.
  WriteFile(folder.File(),
            Utf16(u"[RateCalc]\r\nnPayAmt=5\r\n") +
                "\n[RateCalc]\nbCalcWTR=1\nbCalcERNI=0\nnPayAmt=6\nnChargeAmt=7\n"
                "nWTRPct=0\nnERNIPct=0\nnMarginAmt=0\nnMarginPct=0\nsCalcMode=Pay\n");
  RateModel m;
  LoadSettings(m, folder.File());
  m.nChargeAmt = 1e80;
  SaveSettings(m, folder.File());
  LoadSettings(m, folder.File());
  EXPECT_EQ(m.nPayAmt, 6);
  EXPECT_EQ(m.nChargeAmt, 7);
  // An odd byte at the end is half a unit: kept, never read.
  const std::string odd = Utf16(u"[RateCalc]\r\nnPayAmt=5") + "1";
  EXPECT_EQ(ModelFromSettingsText(odd, m), LoadOutcome::kRead);
  EXPECT_EQ(m.nPayAmt, 5);
  EXPECT_EQ(SettingsTextWithModel(odd, WorkedExample()).back(), '1');
}

// A temporary file is removed only once the save that wrote it has ended,
// and only under a name of its own: files whose names merely look like one
// are the user's, however old.
TEST(SettingsSurvive, StaleTemporaryFilesGoLiveOnesStay) {
  TempFolder folder;
  WriteFile(folder.File(), "[RateCalc]\n");
  // legend: name beside the file, whether the next save removes it
  const std::pair<const char*, bool> cases[] = {
      {"KOVRateCalc.ini~kovtmp0", true},        {"KOVRateCalc.ini~kovtmp2", true},
      {"KOVRateCalc.ini.2024-01.tmp", false},   {"KOVRateCalc.ini.bad-cafe.tmp", false},
      {"KOVRateCalc.ini.3ffffff0-.tmp", false}, {"KOVRateCalc.ini.-7.tmp", false},
  };
  for (const auto& [name, removed] : cases) {
    WriteFile(folder.File(name), "partial");
    fs::last_write_time(folder.File(name),
                        fs::file_time_type::clock::now() - std::chrono::minutes(5));
  }
  FilePath live;  // a running save's, held
  live.Assign(folder.File("KOVRateCalc.ini~kovtmp1"));
  const FileHandle held = CreateHeld(live);
  ASSERT_NE(held, kNoFile);
  EXPECT_TRUE(SaveSettings(RateModel{}, folder.File()).saved());
  for (const auto& [name, removed] : cases)
    EXPECT_NE(fs::exists(folder.File(name)), removed) << name;
  EXPECT_TRUE(fs::exists(live.c_str()));
  CloseFile(held);
}

#ifdef _WIN32
std::string AccessListOf(const std::string& path) {
  char descriptor[4096];
  DWORD n = 0;
  const bool got =
      GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor, sizeof descriptor, &n);
  return got ? std::string(descriptor, n) : "";
}

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
  WriteFile(folder.File(), "[Mine]\n");  // an entry of its own access list outlives the replace
  PSECURITY_DESCRIPTOR everyone = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
                  "D:(A;;FA;;;WD)", SDDL_REVISION_1, &everyone, nullptr) &&
              SetFileSecurityA(folder.File().c_str(), DACL_SECURITY_INFORMATION, everyone));
  const std::string granted = AccessListOf(folder.File());
  SaveSettings(RateModel{}, folder.File());
  EXPECT_EQ(AccessListOf(folder.File()), granted);
  ASSERT_TRUE(CreateHardLinkA(folder.File("other.ini").c_str(), folder.File().c_str(), nullptr));
  SaveSettings(WorkedExample(), folder.File());
  EXPECT_EQ(ReadFile(folder.File("other.ini")), ReadFile(folder.File()));
  EXPECT_NE(ReadFile(folder.File()).find("sCalcMode=Charge"), std::string::npos);
  // A record beside it that is no whole record of this file is never replayed.
  const std::string saved = ReadFile(folder.File());
  const std::string record_path = testing::RecordPathOf(folder.File());
  for (const char* record : {"", "garbag"}) {
    WriteFile(record_path, record);
    RateModel m;
    LoadSettings(m, folder.File());
    EXPECT_EQ(ReadFile(folder.File()), saved) << record;
    EXPECT_FALSE(fs::exists(record_path)) << record;
  }
}

// Anyone who may read a file may lock it exclusively, which on Windows bars
// reading it: such a lock costs no figure; a save's is never read through.
TEST(SettingsSurvive, ReadersLockCostsNoFigure) {
  TempFolder folder;
  WriteFile(folder.File(), "[RateCalc]\nnPayAmt=5\n");
  FilePath path;
  FileHandle held = kNoFile;
  ASSERT_TRUE(path.Assign(folder.File()) && OpenLocked(path, true, held) == OpenResult::kOpened);
  RateModel m;
  EXPECT_EQ(LoadSettings(m, folder.File()), LoadOutcome::kUnreadable);
  CloseFile(held);
  const HANDLE reader = CreateFileA(folder.File().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  OVERLAPPED whole{};
  ASSERT_TRUE(LockFileEx(reader, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole));
  EXPECT_EQ(LoadSettings(m, folder.File()), LoadOutcome::kRead);
  EXPECT_EQ(SaveSettings(WorkedExample(), folder.File()).failure, SaveFailure::kBusy);
  CloseHandle(reader);
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
  fs::permissions(folder.File(), fs::perms::none);
  RateModel m;
  {
    AsOrdinaryUser user;
    const auto start = std::chrono::steady_clock::now();
    LoadSettings(m, folder.File());  // not retried, which would sleep kBusyRetryMs
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kBusyRetryMs));
  }
  EXPECT_EQ(m.nPayAmt, 0.0);
  fs::permissions(folder.File(), fs::perms::owner_read | fs::perms::owner_write);
  // The lock has gone, but this run read nothing.
  EXPECT_EQ(SaveSettings(m, folder.File()).failure, SaveFailure::kNotReadAtLoad);
  EXPECT_EQ(ReadFile(folder.File()), stored);

  LoadSettings(m, folder.File());  // a later run that reads the file saves again
  SaveSettings(WorkedExample(), folder.File());
  LoadSettings(m, folder.File());
  EXPECT_EQ(m.nPayAmt, 14.11);

  fs::permissions(folder.File(), fs::perms::owner_read);  // read, never written
  AsOrdinaryUser user;
  m = RateModel{};
  EXPECT_EQ(LoadSettings(m, folder.File()), LoadOutcome::kRead);
  EXPECT_EQ(m.nPayAmt, 14.11);
  EXPECT_EQ(SaveSettings(RateModel{}, folder.File()).failure, SaveFailure::kNotWritable);

  // A reader's lock, even an exclusive one, costs no figure.
  const int reader = open(folder.File().c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(reader, LOCK_EX), 0);
  fs::permissions(folder.File(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(LoadSettings(m, folder.File()), LoadOutcome::kRead);
  EXPECT_TRUE(SaveSettings(WorkedExample(), folder.File()).saved());
  // One keeping a killed save's record unfinished costs the file, maybe torn, its load and save.
  struct flock shared {};
  shared.l_type = F_RDLCK;
  FilePath state;
  ASSERT_TRUE(fcntl(reader, F_OFD_SETLK, &shared) == 0 && PrivateFolder(state, true));
  WriteFile(testing::RecordPathOf(folder.File()), "");
  EXPECT_EQ(SaveSettings(RateModel{}, folder.File()).failure, SaveFailure::kBusy);
  EXPECT_EQ(LoadSettings(m, folder.File()), LoadOutcome::kUnreadable);
  close(reader);
  EXPECT_EQ(LoadSettings(m, folder.File()), LoadOutcome::kRead);
  // A save's lock held on makes an in-place file busy; held for a moment, it is waited for.
  fs::create_hard_link(folder.File(), folder.File("other.ini"));
  FilePath path;
  FileHandle held = kNoFile;
  ASSERT_TRUE(path.Assign(folder.File()) && OpenLocked(path, true, held) == OpenResult::kOpened);
  EXPECT_EQ(SaveSettings(RateModel{}, folder.File()).failure, SaveFailure::kBusy);
  std::thread release([held] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    CloseFile(held);
  });
  EXPECT_EQ(LoadSettings(m, folder.File()), LoadOutcome::kRead);
  release.join();
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
    struct stat info {};
    stat(link.c_str(), &info);
    const ino_t replaced = info.st_ino;  // a file that can be replaced is
    SaveSettings(WorkedExample(), link);
    stat(link.c_str(), &info);
    EXPECT_NE(info.st_ino, replaced);
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

// How many temporary files of ours lie beside the settings file.
std::size_t TemporaryFiles(const TempFolder& folder) {
  std::size_t n = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(folder.File()).parent_path())) {
    n += entry.path().filename().string().find("~kovtmp") != std::string::npos;
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
    for (int wait = 0; wait < 500 && TemporaryFiles(folder) == 0; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    landed += TemporaryFiles(folder) > 0;
  }
  ASSERT_GT(landed, 0);
  SaveSettings(WorkedExample(), folder.File());
  EXPECT_EQ(folder.EntryCount(), 1u);
}

// Runs `body` in a child process that must end, with exit code 0, within
// the seconds given; a hang or a crash fails.
bool PassesInChild(unsigned seconds, const std::function<bool()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    alarm(seconds);
    std::_Exit(body() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(SettingsSurvive, OnlyRegularFilesAreReadOrWritten) {
  const bool root = geteuid() == 0;
  // legend: what stands at the path (a device node only where root may make one)
  struct Case {
    const char* name;
    std::function<void(const std::string& path, const std::string& other)> make;
  };
  const Case cases[] = {
      {"FIFO", [](const std::string& path, const std::string&) { mkfifo(path.c_str(), 0644); }},
      {"link to a FIFO",
       [](const std::string& path, const std::string& other) {
         mkfifo(other.c_str(), 0644);
         fs::create_symlink(other, path);
       }},
      {"link to a device node",
       [root](const std::string& path, const std::string& other) {
         if (root) mknod(other.c_str(), S_IFCHR | 0666, makedev(1, 5));  // as /dev/zero
         fs::create_symlink(root ? other : "/dev/urandom", path);
       }},
      {"link to a folder",
       [](const std::string& path, const std::string& other) {
         fs::create_directory(other);
         fs::create_symlink(other, path);
       }},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    c.make(folder.File(), folder.File("other"));
    const fs::file_type before = fs::status(folder.File()).type();
    // Well inside the time a busy file is retried: nothing here will change.
    EXPECT_TRUE(PassesInChild(5, [&folder] {
      RateModel m = WorkedExample();
      const auto start = std::chrono::steady_clock::now();
      LoadSettings(m, folder.File());
      const auto waited = std::chrono::steady_clock::now() - start;
      SaveSettings(WorkedExample(), folder.File());
      return m.nPayAmt == 0 && m.sCalcMode == CalcMode::Pay &&
             waited < std::chrono::milliseconds(kBusyRetryMs / 4);
    })) << c.name;
    EXPECT_EQ(fs::status(folder.File()).type(), before) << c.name;
  }
}

// Ways a save must write the file in place: it has a second name, or its
// folder is not writable (for an ordinary user: the saves run as one).
enum class InPlaceWay { HardLink, LockedFolder };
const InPlaceWay kInPlaceWays[] = {InPlaceWay::HardLink, InPlaceWay::LockedFolder};

void MakeInPlace(const TempFolder& folder, InPlaceWay way) {
  if (way == InPlaceWay::HardLink) fs::create_hard_link(folder.File(), folder.File("other.ini"));
  if (way == InPlaceWay::LockedFolder) {
    fs::permissions(fs::path(folder.File()).parent_path(),
                    fs::perms::owner_read | fs::perms::owner_exec);
  }
}

void UndoInPlace(const TempFolder& folder) {
  fs::permissions(fs::path(folder.File()).parent_path(), fs::perms::owner_all);
  fs::remove(folder.File("other.ini"));
}

// The user's lines around the section, a few hundred kilobytes of them.
std::string UsersFile(int lines_each_side) {
  std::string text = "[Mine]\n";
  for (int i = 0; i < 2 * lines_each_side; ++i) {
    if (i == lines_each_side) text += "[RateCalc]\nnPayAmt=1\n[Yours]\n";
    text += "use" + std::to_string(i) + "=keep me " + std::to_string(i) + "\n";
  }
  return text;
}

// What a save of `model` makes of `content`, through the normal path.
std::string SavedForm(const TempFolder& folder, const std::string& content,
                      const RateModel& model) {
  const std::string plain = folder.File("plain.ini");
  WriteFile(plain, content);
  SaveSettings(model, plain);
  const std::string saved = ReadFile(plain);
  fs::remove(plain);
  return saved;
}

RateModel OtherExample() {
  RateModel m;
  m.nPayAmt = 7;
  m.nWTRPct = 0;
  return m;
}

// A file of the user's lines that saves must write in place, and what a
// save of either example makes of it.
struct InPlaceFile {
  TempFolder folder;
  std::string old, a, b;
  InPlaceFile(InPlaceWay way, int lines_each_side)
      : old(UsersFile(lines_each_side)),
        a(SavedForm(folder, old, WorkedExample())),
        b(SavedForm(folder, old, OtherExample())) {
    WriteFile(folder.File(), old);
    MakeInPlace(folder, way);
  }
  ~InPlaceFile() { UndoInPlace(folder); }
  std::string File() const { return folder.File(); }
};

TEST(SettingsSurvive, InPlaceSavesByTwoProcessesNeverMix) {
  for (const InPlaceWay way : kInPlaceWays) {
    InPlaceFile file(way, 3000);
    pid_t savers[2];
    for (int n = 0; n < 2; ++n) {
      savers[n] = fork();
      if (savers[n] == 0) {
        AsOrdinaryUser user;
        for (int i = 0; i < 60; ++i)
          SaveSettings(n == 0 ? WorkedExample() : OtherExample(), file.File());
        std::_Exit(0);
      }
    }
    for (const pid_t saver : savers) waitpid(saver, nullptr, 0);
    const std::string last = ReadFile(file.File());
    EXPECT_TRUE(last == file.a || last == file.b) << static_cast<int>(way) << last.substr(0, 200);
  }
}

TEST(SettingsSurvive, KilledInPlaceSaveIsFinishedByTheNextLoad) {
  std::mt19937 random(7);
  for (const InPlaceWay way : kInPlaceWays) {
    InPlaceFile file(way, 10000);
    int torn = 0;
    for (int kill_count = 0; kill_count < 150; ++kill_count) {
      const pid_t saver = fork();
      if (saver == 0) {
        AsOrdinaryUser user;
        for (int i = 0;; ++i) SaveSettings(i % 2 ? WorkedExample() : OtherExample(), file.File());
      }
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
      kill(saver, SIGKILL);
      waitpid(saver, nullptr, 0);
      AsOrdinaryUser user;
      RateModel m;
      LoadSettings(m, file.File());
      const std::string now = ReadFile(file.File());
      torn += now != file.old && now != file.a && now != file.b;
    }
    {
      AsOrdinaryUser user;
      SaveSettings(WorkedExample(), file.File());  // and leaves nothing behind
    }
    UndoInPlace(file.folder);
    EXPECT_EQ(torn, 0) << static_cast<int>(way);
    EXPECT_EQ(file.folder.EntryCount(), 1u);
    EXPECT_TRUE(testing::RecordsOf(file.File()).empty());
  }
}

#ifdef __linux__
// Kills a save of the model where it first makes the system call `call`
// (with `offset` as its fourth argument, unless -1): a point the kernel
// finds the same every time. True when the save was killed there.
bool KillSaveAt(const std::string& path, const RateModel& model, int call = __NR_fallocate,
                long offset = -1) {
  const pid_t saver = fork();
  if (saver == 0) {
    AsOrdinaryUser user;
    const auto low = static_cast<std::uint32_t>(offset);
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(call), 0, 2),
        offset < 0
            ? sock_filter BPF_JUMP(BPF_JMP | BPF_JA | BPF_K, 2, 0, 0)
            : sock_filter BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[3])),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, low, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
      std::_Exit(1);
    }
    SaveSettings(model, path);
    std::_Exit(0);
  }
  int status = 0;
  waitpid(saver, &status, 0);
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS;
}

long OpenFiles() {
  const fs::directory_iterator fds("/proc/self/fd");
  return std::distance(fs::begin(fds), fs::end(fds));
}

// A killed in-place save's record, and what may have happened to the file,
// the record or the run before the next load: the load finishes the save
// only in the file that save was writing, while it holds what the save
// left, and removes a record only when it is finished or stale for its own
// file; what it cannot judge it leaves alone.
TEST(SettingsSurvive, RedoRecordIsFinishedOnlyInTheFileItWasMadeFor) {
  using Change = std::function<void(InPlaceFile&, const std::string& record)>;
  // Where the file first differs from what the save writes.
  const auto first_change = [](const InPlaceFile& f) {
    return static_cast<std::size_t>(std::mismatch(f.old.begin(), f.old.end(), f.a.begin()).first -
                                    f.old.begin());
  };
  // legend: way in place, what happens between the kill and the next load,
  // whether that load finishes the killed save (else it leaves the file as
  // the change left it), whether the record is still there after it
  struct Case {
    InPlaceWay way;
    const char* name;
    Change change;
    bool finished;
    bool kept;
    const char* load_through = "KOVRateCalc.ini";
  };
  const Case cases[] = {
      {InPlaceWay::HardLink, "nothing", [](InPlaceFile&, const std::string&) {}, true, false},
      {InPlaceWay::LockedFolder, "nothing", [](InPlaceFile&, const std::string&) {}, true, false},
      {InPlaceWay::HardLink, "half written",
       [&](InPlaceFile& f, const std::string&) {
         const std::size_t half = first_change(f) + 7;
         WriteFile(f.File(), f.a.substr(0, half) + f.old.substr(half));
       },
       true, false},
      {InPlaceWay::HardLink, "grown, then half written",
       [&](InPlaceFile& f, const std::string&) {
         const std::size_t half = first_change(f) + 7;
         const std::string torn = f.a.substr(0, half) + f.old.substr(half);
         WriteFile(f.File(), torn + std::string(f.a.size() - torn.size(), '\0'));
       },
       true, false},
      {InPlaceWay::HardLink, "loaded through its name in another folder",
       [](InPlaceFile& f, const std::string&) {
         fs::create_directory(f.folder.File("sub"));
         fs::rename(f.folder.File("other.ini"), f.folder.File("sub/other.ini"));
       },
       true, false, "sub/other.ini"},
      {InPlaceWay::LockedFolder, "loaded by a run with another XDG_STATE_HOME",
       [](InPlaceFile& f, const std::string&) {
         setenv("XDG_STATE_HOME", (f.File() + "-other-state").c_str(), 1);
       },
       true, false},
      {InPlaceWay::HardLink, "deleted and saved anew (its other name keeps it)",
       [](InPlaceFile& f, const std::string&) {
         fs::remove(f.File());
         SaveSettings(OtherExample(), f.File());
       },
       false, true},
      {InPlaceWay::HardLink, "a backup restored under its name (its other name keeps it)",
       [](InPlaceFile& f, const std::string&) {
         WriteFile(f.File() + ".bak", "[RateCalc]\nnPayAmt=3\n");
         fs::rename(f.File() + ".bak", f.File());
       },
       false, true},
      {InPlaceWay::HardLink, "a hand edit where the save writes",
       [&](InPlaceFile& f, const std::string&) {
         std::string edited = f.old;
         edited[first_change(f) + 1] = '#';
         WriteFile(f.File(), edited);
       },
       false, false},
      {InPlaceWay::HardLink, "its header damaged",
       [](InPlaceFile&, const std::string& record) {
         std::string bytes = ReadFile(record);
         bytes[9] ^= 1;
         WriteFile(record, bytes);
       },
       false, true},
      {InPlaceWay::HardLink, "held by a running save (to the end of the run)",
       [](InPlaceFile&, const std::string& r) { flock(open(r.c_str(), O_RDONLY), LOCK_EX); }, false,
       true},
      {InPlaceWay::HardLink, "the same file with other content",
       [](InPlaceFile& f, const std::string&) { WriteFile(f.File(), "[RateCalc]\nnPayAmt=3\n"); },
       false, false},
      {InPlaceWay::HardLink, "an empty record",
       [](InPlaceFile&, const std::string& record) { WriteFile(record, ""); }, false, false},
      {InPlaceWay::HardLink, "six bytes of garbage",
       [](InPlaceFile&, const std::string& record) { WriteFile(record, "garbag"); }, false, false},
      {InPlaceWay::HardLink, "half a record",
       [](InPlaceFile&, const std::string& record) {
         fs::resize_file(record, fs::file_size(record) / 2);
       },
       false, true},
      {InPlaceWay::HardLink, "its old half corrupt",
       [](InPlaceFile&, const std::string& record) {
         std::string bytes = ReadFile(record);
         bytes[bytes.size() - 2] ^= 1;
         WriteFile(record, bytes);
       },
       false, true},
      {InPlaceWay::HardLink, "another file's record under its name",
       [](InPlaceFile& f, const std::string& record) {
         const std::string other = f.folder.File("second.ini");
         WriteFile(other, f.old);
         fs::create_hard_link(other, other + ".link");
         KillSaveAt(other, OtherExample());
         fs::rename(testing::RecordsOf(other).at(0), record);
         fs::remove(other);
         fs::remove(other + ".link");
       },
       false, true},
      {InPlaceWay::HardLink, "the file gone under both names",
       [](InPlaceFile& f, const std::string&) {
         fs::remove(f.File());
         fs::remove(f.folder.File("other.ini"));
       },
       false, true},
  };
  const char* state = std::getenv("XDG_STATE_HOME");
  const std::string saved_state = state ? state : "";
  for (const Case& c : cases) {
    InPlaceFile file(c.way, 3000);
    ASSERT_TRUE(KillSaveAt(file.File(), WorkedExample())) << c.name;
    EXPECT_TRUE(ReadFile(file.File()) == file.old) << c.name;
    const std::vector<std::string> records = testing::RecordsOf(file.File());
    ASSERT_EQ(records.size(), 1u) << c.name;
    c.change(file, records[0]);
    const std::string changed = ReadFile(file.File());
    const long open_before = OpenFiles();
    {
      AsOrdinaryUser user;
      RateModel m;
      LoadSettings(m, file.folder.File(c.load_through));
    }
    EXPECT_EQ(OpenFiles(), open_before) << c.name;
    if (fs::exists(file.folder.File("sub"))) {
      fs::rename(file.folder.File("sub/other.ini"), file.folder.File("other.ini"));
      fs::remove(file.folder.File("sub"));
    }
    if (state) setenv("XDG_STATE_HOME", saved_state.c_str(), 1);
    if (!state) unsetenv("XDG_STATE_HOME");
    const std::string now = ReadFile(file.File());
    EXPECT_TRUE(c.finished ? now == file.a : now == changed) << c.name;
    EXPECT_EQ(fs::exists(records[0]), c.kept) << c.name;
    fs::remove(records[0]);
    UndoInPlace(file.folder);
    EXPECT_LE(file.folder.EntryCount(), 1u) << c.name;
  }
}

// A save killed in the middle of an in-place write, after the file took
// its new length and before the changed bytes land, is finished by the next
// load; its record holds only what the write changes.
TEST(SettingsSurvive, SaveKilledMidWriteIsFinishedByTheNextLoad) {
  RateModel same_width = WorkedExample();
  same_width.nPayAmt = 41.11;
  // legend: whether the file holds the worked example's save already, the
  // model saved over it, the size it is padded to
  const std::tuple<bool, RateModel, std::size_t> cases[] = {
      {false, WorkedExample(), 0}, {true, same_width, 0}, {true, same_width, kMaxSettingsBytes}};
  for (const auto& [saved, model, size] : cases) {
    InPlaceFile file(InPlaceWay::HardLink, 3000);
    std::string before = saved ? file.a : file.old;
    if (size > 0) before += ";" + std::string(size - before.size() - 2, 'x') + "\n";
    WriteFile(file.File(), before);
    const std::string after = SavedForm(file.folder, before, model);
    const auto begin = static_cast<std::size_t>(
        std::mismatch(before.begin(), before.end(), after.begin()).first - before.begin());
    ASSERT_TRUE(KillSaveAt(file.File(), model, __NR_pwrite64, static_cast<long>(begin))) << saved;
    EXPECT_EQ(ReadFile(file.File()).size(), after.size()) << saved;
    const std::vector<std::string> records = testing::RecordsOf(file.File());
    ASSERT_EQ(records.size(), 1u) << saved;
    // A header, and the bytes from the first that changes to the end, or
    // to the last that changes where the length stays.
    EXPECT_LE(fs::file_size(records[0]),
              saved ? 100 : 88 + before.size() + after.size() - 2 * begin);
    RateModel m;
    LoadSettings(m, file.File());
    EXPECT_TRUE(ReadFile(file.File()) == after) << saved;
    EXPECT_TRUE(testing::RecordsOf(file.File()).empty()) << saved;
  }
}
#endif

#ifdef __linux__
// A replay that fails (here the file may not grow) keeps the record for a
// later load, which finishes the save.
TEST(SettingsSurvive, RecordStaysWhenItsReplayFails) {
  InPlaceFile file(InPlaceWay::HardLink, 3000);
  ASSERT_TRUE(KillSaveAt(file.File(), WorkedExample()));
  EXPECT_TRUE(PassesInChild(20, [&file] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{file.old.size(), file.old.size()};
    setrlimit(RLIMIT_FSIZE, &limit);
    RateModel m;
    LoadSettings(m, file.File());
    return ReadFile(file.File()) == file.old && testing::RecordsOf(file.File()).size() == 1;
  }));
  RateModel m;
  LoadSettings(m, file.File());
  EXPECT_TRUE(ReadFile(file.File()) == file.a);
  EXPECT_TRUE(testing::RecordsOf(file.File()).empty());
}
#endif

#ifdef __linux__
// The records of in-place saves go to the user's own folder, made owner-only
// with any folder missing on the way; where it cannot be had, the save is not
// done and says so. (HOME missing or another user's falls back on the user
// database's home, which a test must not touch.)
TEST(SettingsSurvive, RecordsLiveInAFolderOfTheUsersOwn) {
  enum class Where { kPrivate, kNowhere };
  using Make = std::function<void(const fs::path& home)>;
  const Make local_a_file = [](const fs::path& home) { WriteFile((home / ".local").string(), ""); };
  // legend: what the home folder holds, how the save must write in place,
  // where the record of a killed save is found
  struct Case {
    const char* name;
    Make make;
    InPlaceWay way;
    Where where;
  };
  const Case cases[] = {
      {"nothing yet", [](const fs::path&) {}, InPlaceWay::LockedFolder, Where::kPrivate},
      {"state folder a link to the user's own",
       [](const fs::path& home) {
         fs::create_directories(home / "dotfiles/state");
         fs::permissions(home / "dotfiles/state", fs::perms::owner_all);
         fs::create_directory(home / ".local");
         fs::create_directory_symlink(home / "dotfiles/state", home / ".local/state");
       },
       InPlaceWay::LockedFolder, Where::kPrivate},
      {"group-writable state folder",
       [](const fs::path& home) {
         fs::create_directories(home / ".local/state");
         fs::permissions(home / ".local/state", fs::perms::owner_all | fs::perms::group_all);
       },
       InPlaceWay::LockedFolder, Where::kPrivate},
      {"~/.local a file", local_a_file, InPlaceWay::HardLink, Where::kNowhere},
      {"read-only state folder",
       [](const fs::path& home) {
         fs::create_directories(home / ".local/state");
         fs::permissions(home / ".local/state", fs::perms::owner_read | fs::perms::owner_exec);
       },
       InPlaceWay::LockedFolder, Where::kNowhere},
      {"record folder open to others",
       [](const fs::path& home) {
         fs::create_directories(home / ".local/state/KOVRateCalc");
         fs::permissions(home / ".local/state/KOVRateCalc",
                         fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
       },
       InPlaceWay::LockedFolder, Where::kNowhere},
      {"home too long a path for the record's",
       [](const fs::path& home) {
         const std::string padded = home.parent_path().string() +
                                    std::string(4090 - home.string().size(), '/') +
                                    home.filename().string();
         setenv("HOME", padded.c_str(), 1);
       },
       InPlaceWay::LockedFolder, Where::kNowhere},
  };
  const std::string saved_home = std::getenv("HOME") ? std::getenv("HOME") : "";
  for (const Case& c : cases) {
    InPlaceFile file(c.way, 10);
    const fs::path home = fs::path(file.File()).parent_path().string() + "-home";
    fs::create_directory(home);
    setenv("HOME", home.c_str(), 1);
    c.make(home);
    EXPECT_EQ(KillSaveAt(file.File(), WorkedExample()), c.where != Where::kNowhere) << c.name;
    const std::vector<std::string> records = testing::RecordsOf(file.File());
    ASSERT_EQ(records.size(), c.where == Where::kNowhere ? 0u : 1u) << c.name;
    if (c.where != Where::kNowhere) {
      EXPECT_EQ(records[0].rfind(home.string(), 0), 0u) << c.name;
      struct stat info {};
      struct statvfs volume {};
      stat(file.File().c_str(), &info);
      statvfs(file.File().c_str(), &volume);
      char name[60];  // named after the volume and the file's number on it
      std::snprintf(name, sizeof name, "%lx-%llx~kovredo0", volume.f_fsid,
                    static_cast<unsigned long long>(info.st_ino));
      EXPECT_EQ(fs::path(records[0]).filename(), name) << c.name;
      AsOrdinaryUser user;
      RateModel m;
      LoadSettings(m, file.File());
      EXPECT_TRUE(ReadFile(file.File()) == file.a) << c.name;
    } else {
      AsOrdinaryUser user;
      EXPECT_EQ(SaveSettings(WorkedExample(), file.File()).failure, SaveFailure::kNoRecordPlace)
          << c.name;
      EXPECT_TRUE(ReadFile(file.File()) == file.old) << c.name;
    }
    if (std::string(c.name) == "nothing yet") {
      for (const char* folder : {".local", ".local/state", ".local/state/KOVRateCalc"}) {
        EXPECT_EQ(fs::status(home / folder).permissions(), fs::perms::owner_all) << folder;
      }
    }
    setenv("HOME", saved_home.c_str(), 1);
    std::error_code ignored;
    fs::permissions(home / ".local/state", fs::perms::owner_all, ignored);
    fs::remove_all(home);
  }
}
#endif

#ifdef __linux__
// A disk that comes back under another device number, as a removable or
// loop-mounted disk does after a power cut: the record of a save killed
// before it finds the file by its number and proves it by its content (root
// only: it attaches loop devices, in a mount namespace of its own).
TEST(SettingsSurvive, RecordFollowsItsFileToAnotherDeviceNumber) {
  if (geteuid() != 0) GTEST_SKIP() << "attaching loop devices needs root";
  TempFolder folder;
  const std::string image = folder.File("disk.img"), spare = folder.File("spare.img");
  const std::string disk = folder.File("disk"), file = disk + "/KOVRateCalc.ini";
  fs::create_directory(disk);
  const std::string old = UsersFile(100);
  const std::string saved = SettingsTextWithModel(old, WorkedExample());
  const auto sh = [](const std::string& command) { return std::system(command.c_str()) == 0; };
  if (!sh("truncate -s 4M " + image + " " + spare + " && mkfs.ext2 -q -F " + image)) {
    GTEST_SKIP() << "no mkfs.ext2 to make a disk image";
  }
  const pid_t child = fork();
  if (child == 0) {
    const auto attach = [&](const std::string& img) {
      return sh("losetup --find " + img + " && mount $(losetup -j " + img +
                " | cut -d: -f1 | tail -n1) " + disk + " 2>/dev/null || true");
    };
    if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        !sh("losetup --find " + image) ||
        !sh("mount $(losetup -j " + image + " | cut -d: -f1) " + disk)) {
      std::_Exit(2);
    }
    WriteFile(file, old);
    fs::create_hard_link(file, disk + "/other.ini");  // written in place
    struct stat before {};
    stat(file.c_str(), &before);
    const bool killed = KillSaveAt(file, WorkedExample());
    sh("umount " + disk + " && losetup -d $(losetup -j " + image + " | cut -d: -f1)");
    // A disk cloned from it (a volume of its own) is not where the record goes.
    const std::string clone = image + ".clone";
    sh("cp " + image + " " + clone + " && tune2fs -U random " + clone + " >/dev/null");
    attach(clone);
    RateModel m;
    LoadSettings(m, file);
    const bool clone_left = ReadFile(file) == old;
    sh("umount " + disk + " && losetup -d $(losetup -j " + clone + " | cut -d: -f1)");
    // Back under another number: a spare image takes the first one's.
    sh("losetup --find " + spare);
    attach(image);
    struct stat after {};
    stat(file.c_str(), &after);
    LoadSettings(m, file);
    const bool finished = ReadFile(file) == saved && testing::RecordsOf(file).empty();
    sh("umount " + disk + "; losetup -d $(losetup -j " + image + " | cut -d: -f1) $(losetup -j " +
       spare + " | cut -d: -f1)");
    std::_Exit(!killed || before.st_dev == after.st_dev ? 3 : finished && clone_left ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 2) GTEST_SKIP() << "no loop device to attach";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
#endif

#ifdef __linux__
// A disk with a few pages free: a small file system of its own, which the
// test mounts in a mount namespace of its own (root only).
TEST(SettingsSurvive, FullDiskLeavesTheFileWholeInPlace) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  // legend: way in place, pages left free after the old file
  for (const InPlaceWay way : kInPlaceWays) {
    for (long free_pages = 0; free_pages <= 5; ++free_pages) {
      TempFolder folder;
      const std::string disk = fs::path(folder.File()).parent_path() / "disk";
      fs::create_directory(disk);
      const std::string file = disk + "/KOVRateCalc.ini";
      // The section first, so that a growing file moves the user's lines,
      // and a page's end just after the last of them.
      std::string old = UsersFile(250);
      old = old.substr(old.find("[RateCalc]")) + old.substr(0, old.find("[RateCalc]"));
      old += std::string(3 * 4096 - 60 - old.size(), ';') + "\n";
      const std::string saved = SavedForm(folder, old, WorkedExample());
      const bool whole = PassesInChild(20, [&] {
        if (unshare(CLONE_NEWNS) != 0 ||
            mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
            mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=256k") != 0) {
          return false;
        }
        WriteFile(file, old);
        if (way == InPlaceWay::HardLink) fs::create_hard_link(file, disk + "/other.ini");
        std::FILE* filler = std::fopen((disk + "/filler").c_str(), "wb");
        const std::string page(4096, 'f');
        long pages = 0;
        while (std::fwrite(page.data(), 1, page.size(), filler) == page.size() &&
               std::fflush(filler) == 0) {
          ++pages;
        }
        std::fclose(filler);
        truncate((disk + "/filler").c_str(), (pages - free_pages) * 4096);
        if (way == InPlaceWay::LockedFolder) chmod(disk.c_str(), 0555);
        {
          AsOrdinaryUser user;
          SaveSettings(WorkedExample(), file);
        }
        const std::string now = ReadFile(file);
        return now == old || now == saved;
      });
      EXPECT_TRUE(whole) << static_cast<int>(way) << " with " << free_pages << " pages free";
    }
  }
}
#endif

// Runs `body` as a second, unprivileged user in a child process, with a
// home folder of its own for the time.
bool AsSecondUser(const std::function<void()>& body) {
  return PassesInChild(20, [&body] {
    char home[] = "/tmp/ratecalc-home-XXXXXX";
    if (!mkdtemp(home) || chown(home, 65534, 65534) != 0 || setgid(65534) != 0 ||
        setuid(65534) != 0) {
      return false;
    }
    setenv("HOME", home, 1);
    body();
    fs::remove_all(home);
    return true;
  });
}

// A folder two users share, with the mode given, where the second user can
// reach it whatever the test's own temporary folder allows.
class SharedFolder {
 public:
  explicit SharedFolder(mode_t mode) {
    char name[] = "/tmp/ratecalc-shared-XXXXXX";
    path_ = mkdtemp(name) ? name : "";
    chmod(path_.c_str(), mode);
  }
  ~SharedFolder() { fs::remove_all(path_); }
  SharedFolder(const SharedFolder&) = delete;
  SharedFolder& operator=(const SharedFolder&) = delete;
  std::string File(const std::string& name = "KOVRateCalc.ini") const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Another user saving the file in a folder both may write: the file stays
// its owner's (root only: it takes a second user).
TEST(SettingsSurvive, SaveByAnotherUserKeepsTheOwner) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user";
  SharedFolder folder(0777);
  WriteFile(folder.File(), "[Mine]\n");
  chmod(folder.File().c_str(), 0666);
  EXPECT_TRUE(AsSecondUser([&folder] { SaveSettings(WorkedExample(), folder.File()); }));
  struct stat info {};
  stat(folder.File().c_str(), &info);
  EXPECT_EQ(info.st_uid, 0u);
  EXPECT_EQ(ReadFile(folder.File()), "[Mine]\n[RateCalc]\n" + WorkedKeys("\n"));
  // The second user's own file in a group of which she is not a member.
  WriteFile(folder.File(), "[Mine]\n");
  ASSERT_EQ(chown(folder.File().c_str(), 65534, 0), 0);
  EXPECT_TRUE(AsSecondUser([&folder] { SaveSettings(WorkedExample(), folder.File()); }));
  stat(folder.File().c_str(), &info);
  EXPECT_EQ(info.st_gid, 0u);
  EXPECT_EQ(ReadFile(folder.File()), "[Mine]\n[RateCalc]\n" + WorkedKeys("\n"));
  // Hers in her own group: replaced.
  const ino_t before = info.st_ino;
  ASSERT_EQ(chown(folder.File().c_str(), 65534, 65534), 0);
  EXPECT_TRUE(AsSecondUser([&folder] { SaveSettings(RateModel{}, folder.File()); }));
  stat(folder.File().c_str(), &info);
  EXPECT_NE(info.st_ino, before);
  // The owner's, which an access list (an extended attribute) lets her
  // write: the owner's save keeps the list.
  ASSERT_EQ(chown(folder.File().c_str(), 0, 0) | chmod(folder.File().c_str(), 0600), 0);
  const std::uint32_t her_acl[] = {2,   0x60001, ~0u, 0x60002, 65534, 4,
                                   ~0u, 0x60010, ~0u, 0x20,    ~0u};
  if (setxattr(folder.File().c_str(), "system.posix_acl_access", her_acl, sizeof her_acl, 0) != 0)
    GTEST_SKIP() << "no access lists on this file system";
  EXPECT_TRUE(SaveSettings(WorkedExample(), folder.File()).saved());
  EXPECT_TRUE(AsSecondUser([&folder] { SaveSettings(RateModel{}, folder.File()); }));
  EXPECT_NE(ReadFile(folder.File()).find("nPayAmt=0.00"), std::string::npos);
}

// What another local user can do where a save of this user's looks: plant
// anything at the names records had beside a file in a shared sticky folder,
// load the file in a team folder after a save of this user's was killed,
// plant a link in a sticky folder that all may write (root only: it takes a
// second user).
TEST(SettingsSurvive, OtherUsersCannotSteerASave) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user";
  // legend: what the other user plants
  const std::function<void(const std::string&)> plants[] = {
      [](const std::string& name) { WriteFile(name, "x"); },
      [](const std::string& name) { fs::create_symlink("/dev/null", name); },
      [](const std::string& name) { mkfifo(name.c_str(), 0666); },
      [](const std::string& name) { fs::create_directory(name); },
  };
  for (const auto& plant : plants) {
    for (const bool in_place : {true, false}) {  // with a second name, or replaced
      SharedFolder shared(01777);
      const std::string file = shared.File();
      WriteFile(file, UsersFile(10));
      if (in_place) fs::create_hard_link(file, shared.File("other.ini"));
      EXPECT_TRUE(AsSecondUser([&] {
        for (const char* name : {".redo", "~kovredo0", "~kovtmp0"}) plant(file + name);
      }));
      AsOrdinaryUser user;
      const long open_before = OpenFiles();
      EXPECT_TRUE(SaveSettings(WorkedExample(), file).saved());
      EXPECT_EQ(OpenFiles(), open_before);  // nothing of the other user's left open
      EXPECT_EQ(ReadFile(file), SettingsTextWithModel(UsersFile(10), WorkedExample()));
    }
  }
  {  // a colleague's load in a team folder leaves this user's record alone
    SharedFolder team(0777);
    const std::string file = team.File();
    WriteFile(file, UsersFile(10));
    chmod(file.c_str(), 0666);
    fs::create_hard_link(file, team.File("other.ini"));
    EXPECT_TRUE(KillSaveAt(file, WorkedExample()));
    ASSERT_EQ(testing::RecordsOf(file).size(), 1u);
    EXPECT_TRUE(AsSecondUser([&] {
      RateModel m;
      LoadSettings(m, file);
    }));
    EXPECT_EQ(testing::RecordsOf(file).size(), 1u);
    RateModel m;
    LoadSettings(m, file);
    EXPECT_EQ(m.nPayAmt, 14.11);
  }

  SharedFolder folder(0755);
  const std::string shared = folder.File("shared"), own = folder.File("own.ini");
  fs::create_directory(shared);
  chmod(shared.c_str(), 01777);
  WriteFile(own, "[Mine]\n");
  chmod(own.c_str(), 0600);
  const std::string link = shared + "/KOVRateCalc.ini";
  EXPECT_TRUE(AsSecondUser([&] { fs::create_symlink(own, link); }));
  EXPECT_EQ(SaveSettings(WorkedExample(), link).failure, SaveFailure::kForeignLink);
  RateModel m = WorkedExample();
  EXPECT_EQ(LoadSettings(m, link), LoadOutcome::kUnreadable);
  EXPECT_EQ(m.nPayAmt, 0);
  EXPECT_EQ(ReadFile(own), "[Mine]\n");
  EXPECT_TRUE(fs::is_symlink(link));
  // The same in a team folder (set-group-id, not sticky), to the file or to none.
  ASSERT_EQ(chown(shared.c_str(), 0, 65534) | chmod(shared.c_str(), 02775), 0);
  EXPECT_EQ(SaveSettings(WorkedExample(), link).failure, SaveFailure::kForeignLink);
  EXPECT_EQ(ReadFile(own), "[Mine]\n");
  fs::remove(own);
  EXPECT_EQ(SaveSettings(WorkedExample(), link).failure, SaveFailure::kForeignLink);
  EXPECT_FALSE(fs::exists(own));
}

// Temporaries that killed saves left take the names a save would use: the
// save removes them, replaces the file as usual, and leaves nothing.
TEST(SettingsSurvive, TakenTemporaryNamesAreSkippedAndCleared) {
  TempFolder folder;
  WriteFile(folder.File(), "[Mine]\n");
  for (int slot = 0; slot < kSlots; ++slot) {
    WriteFile(folder.File() + "~kovtmp" + std::to_string(slot), "partial");
  }
  struct stat before {};
  stat(folder.File().c_str(), &before);
  SaveSettings(WorkedExample(), folder.File());
  struct stat after {};
  stat(folder.File().c_str(), &after);
  EXPECT_NE(before.st_ino, after.st_ino) << "replaced, not written in place";
  EXPECT_EQ(folder.EntryCount(), 1u);
}

#endif

}  // namespace
}  // namespace ratecalc
