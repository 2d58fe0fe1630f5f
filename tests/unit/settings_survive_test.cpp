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

#ifndef _WIN32
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <thread>
#include <vector>
#endif
#ifdef _WIN32
#include <windows.h>
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
using testing::TemporaryPathBeside;
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
      {Wide::LeUnmarked, u"\r\n[RateCalc]\r\nnPayAmt=5\r\n", "", 5, u"\r\n" + saved},
      {Wide::BeUnmarked, u"\r\n[RateCalc]\r\nnPayAmt=5\r\n", "", 5, u"\r\n" + saved},
      {Wide::LeUnmarked, u"; \u20ac\r\n[RateCalc]\r\nnPayAmt=5\r\n", "", 5, u"; \u20ac\r\n" + saved},
      {Wide::BeUnmarked, u"; \u0100\r\n[RateCalc]\r\nnPayAmt=5\r\n", "", 5, u"; \u0100\r\n" + saved},
      {Wide::BeUnmarked, u";" + std::u16string(2100, u'x') + u"\r\n[RateCalc]\r\nnPayAmt=5\r\n", "", 5,
       u";" + std::u16string(2100, u'x') + u"\r\n" + saved},
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
  // A record beside it that is no whole record of this file is never replayed.
  const std::string saved = ReadFile(folder.File());
  for (const char* record : {"", "garbag"}) {
    WriteFile(folder.File() + ".redo", record);
    RateModel m;
    LoadSettings(m, folder.File());
    EXPECT_EQ(ReadFile(folder.File()), saved) << record;
    EXPECT_FALSE(fs::exists(folder.File() + ".redo")) << record;
  }
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
    FilePath target, redo;
    target.Assign(file.File());
    RecordPath(target, kInPrivateFolder, redo);
    for (const auto& entry : fs::directory_iterator(fs::path(redo.c_str()).parent_path())) {
      EXPECT_NE(entry.path().string().rfind(redo.c_str(), 0), 0u) << entry.path();
    }
  }
}

#ifdef __linux__
// Leaves what a save killed just before it first writes the file in place
// leaves: its redo record on the disk, the file as it was. The kill comes
// from the kernel when the save reserves room for the longer file, before
// it writes a byte there, so it lands at the same point every time.
bool KillSaveBeforeItWritesInPlace(const std::string& path, const RateModel& model) {
  const pid_t saver = fork();
  if (saver == 0) {
    AsOrdinaryUser user;
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fallocate, 1, 0),
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

// A killed in-place save's record, and what may have happened to the file
// or the record before the next load: the load finishes the save only in
// the file that save was writing, while it holds what the save left.
TEST(SettingsSurvive, RedoRecordIsFinishedOnlyInTheFileItWasMadeFor) {
  using Change = std::function<void(InPlaceFile&)>;
  const auto record = [](const InPlaceFile& f) { return f.File() + ".redo"; };
  // legend: way in place, what happens between the kill and the next load,
  // whether that load finishes the killed save (else it leaves the file as
  // the change left it)
  struct Case {
    InPlaceWay way;
    const char* name;
    Change change;
    bool finished;
  };
  const Case cases[] = {
      {InPlaceWay::HardLink, "nothing", [](InPlaceFile&) {}, true},
      {InPlaceWay::LockedFolder, "nothing", [](InPlaceFile&) {}, true},
      {InPlaceWay::HardLink, "half written",
       [](InPlaceFile& f) { WriteFile(f.File(), f.a.substr(0, 1000) + f.old.substr(1000)); }, true},
      {InPlaceWay::HardLink, "deleted and saved anew",
       [](InPlaceFile& f) {
         fs::remove(f.File());
         SaveSettings(OtherExample(), f.File());
       },
       false},
      {InPlaceWay::HardLink, "a backup restored under its name",
       [](InPlaceFile& f) {
         WriteFile(f.File() + ".bak", "[RateCalc]\nnPayAmt=3\n");
         fs::rename(f.File() + ".bak", f.File());
       },
       false},
      {InPlaceWay::HardLink, "the same file with other content",
       [](InPlaceFile& f) { WriteFile(f.File(), "[RateCalc]\nnPayAmt=3\n"); }, false},
      {InPlaceWay::LockedFolder, "saved by a run with another temporary folder",
       [](InPlaceFile& f) {
         const std::string other = fs::path(f.File()).parent_path().string() + "-tmp";
         fs::create_directory(other);
         const char* saved = std::getenv("TMPDIR");
         const std::string before = saved ? saved : "";
         setenv("TMPDIR", other.c_str(), 1);
         {
           AsOrdinaryUser user;
           RateModel m;
           LoadSettings(m, f.File());
           SaveSettings(OtherExample(), f.File());
         }
         if (saved) setenv("TMPDIR", before.c_str(), 1);
         if (!saved) unsetenv("TMPDIR");
         fs::remove_all(other);
       },
       false},
      {InPlaceWay::HardLink, "an empty record", [&](InPlaceFile& f) { WriteFile(record(f), ""); },
       false},
      {InPlaceWay::HardLink, "half a record",
       [&](InPlaceFile& f) { fs::resize_file(record(f), fs::file_size(record(f)) / 2); }, false},
      {InPlaceWay::HardLink, "six bytes of garbage",
       [&](InPlaceFile& f) { WriteFile(record(f), "garbag"); }, false},
      {InPlaceWay::HardLink, "another file's record",
       [&](InPlaceFile& f) {
         const std::string other = f.folder.File("second.ini");
         WriteFile(other, f.old);
         fs::create_hard_link(other, other + ".link");
         KillSaveBeforeItWritesInPlace(other, OtherExample());
         fs::rename(other + ".redo", record(f));
         fs::remove(other);
         fs::remove(other + ".link");
       },
       false},
      {InPlaceWay::HardLink, "the file gone",
       [](InPlaceFile& f) {
         fs::remove(f.File());
         fs::remove(f.folder.File("other.ini"));
       },
       false},
  };
  for (const Case& c : cases) {
    InPlaceFile file(c.way, 3000);
    ASSERT_TRUE(KillSaveBeforeItWritesInPlace(file.File(), WorkedExample())) << c.name;
    EXPECT_TRUE(ReadFile(file.File()) == file.old) << c.name;
    c.change(file);
    const std::string changed = ReadFile(file.File());
    {
      AsOrdinaryUser user;
      RateModel m;
      LoadSettings(m, file.File());
    }
    const std::string now = ReadFile(file.File());
    EXPECT_TRUE(c.finished ? now == file.a : now == changed) << c.name;
    EXPECT_FALSE(fs::exists(record(file))) << c.name;
    UndoInPlace(file.folder);
    EXPECT_LE(file.folder.EntryCount(), 1u) << c.name;
  }
}
#endif

#ifdef __linux__
// The record of a file in a folder that is not writable goes to a folder of
// the user's own, made owner-only; one that is a link is refused, and the
// save goes ahead unrecorded.
TEST(SettingsSurvive, RecordsLiveInAFolderOfTheUsersOwn) {
  const char* saved = std::getenv("XDG_STATE_HOME");
  const std::string before = saved ? saved : "";
  for (const bool linked : {false, true}) {
    InPlaceFile file(InPlaceWay::LockedFolder, 10);
    const fs::path state = fs::path(file.File()).parent_path().string() + "-state";
    fs::create_directories(state / "elsewhere");
    if (linked) fs::create_directory_symlink(state / "elsewhere", state / "KOVRateCalc");
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    EXPECT_TRUE(KillSaveBeforeItWritesInPlace(file.File(), WorkedExample()));
    if (saved) setenv("XDG_STATE_HOME", before.c_str(), 1);
    if (!saved) unsetenv("XDG_STATE_HOME");
    const fs::path records = state / (linked ? "elsewhere" : "KOVRateCalc");
    EXPECT_EQ(fs::is_empty(records), linked) << linked;
    if (!linked) {
      EXPECT_EQ(fs::status(records).permissions(), fs::perms::owner_all);
    }
    fs::remove_all(state);
  }
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

// Runs `body` as a second, unprivileged user in a child process.
bool AsSecondUser(const std::function<void()>& body) {
  return PassesInChild(20, [&body] {
    if (setgid(65534) != 0 || setuid(65534) != 0) return false;
    body();
    return true;
  });
}

// Another user saving the file in a folder both may write: the file stays
// its owner's (root only: it takes a second user).
TEST(SettingsSurvive, SaveByAnotherUserKeepsTheOwner) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user";
  TempFolder folder;
  fs::permissions(fs::path(folder.File()).parent_path(), fs::perms::all);
  WriteFile(folder.File(), "[Mine]\n");
  chmod(folder.File().c_str(), 0666);
  EXPECT_TRUE(AsSecondUser([&folder] { SaveSettings(WorkedExample(), folder.File()); }));
  struct stat info {};
  stat(folder.File().c_str(), &info);
  EXPECT_EQ(info.st_uid, 0u);
  EXPECT_EQ(ReadFile(folder.File()), "[Mine]\n[RateCalc]\n" + WorkedKeys("\n"));
}

// What another local user can plant where a save of this user's looks: a
// name in the shared temporary folder, a link in a sticky folder that all
// may write (root only: it takes a second user).
TEST(SettingsSurvive, OtherUsersCannotSteerASave) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user";
  // legend: what the other user plants at the name a record in the shared
  // temporary folder would have
  const std::function<void(const std::string&)> plants[] = {
      [](const std::string& name) { WriteFile(name, "x"); },
      [](const std::string& name) { fs::create_symlink("/dev/null", name); },
      [](const std::string& name) { mkfifo(name.c_str(), 0666); },
      [](const std::string& name) { fs::create_directory(name); },
  };
  for (const auto& plant : plants) {
    InPlaceFile file(InPlaceWay::LockedFolder, 10);
    struct stat info {};
    stat(file.File().c_str(), &info);
    const char* tmp = std::getenv("TMPDIR");
    char name[256];
    std::snprintf(name, sizeof name, "%s/KOVRateCalc-%lx-%lx.redo",
                  tmp && *tmp == '/' ? tmp : "/tmp", static_cast<unsigned long>(info.st_dev),
                  static_cast<unsigned long>(info.st_ino));
    const std::string planted = name;
    EXPECT_TRUE(AsSecondUser([&] { plant(planted); }));
    {
      AsOrdinaryUser user;
      SaveSettings(WorkedExample(), file.File());
    }
    EXPECT_TRUE(ReadFile(file.File()) == file.a) << planted;
    std::error_code ignored;
    fs::remove_all(planted, ignored);
  }

  TempFolder folder;
  const std::string shared = folder.File("shared"), own = folder.File("own.ini");
  fs::create_directory(shared);
  chmod(shared.c_str(), 01777);
  WriteFile(own, "[Mine]\n");
  chmod(own.c_str(), 0600);
  const std::string link = shared + "/KOVRateCalc.ini";
  EXPECT_TRUE(AsSecondUser([&] { fs::create_symlink(own, link); }));
  RateModel m = WorkedExample();
  LoadSettings(m, link);
  SaveSettings(WorkedExample(), link);
  EXPECT_EQ(m.nPayAmt, 0);
  EXPECT_EQ(ReadFile(own), "[Mine]\n");
  EXPECT_TRUE(fs::is_symlink(link));
}

// A temporary name that a killed run of a process with this id left is
// taken: the save takes the next name, replaces the file as usual, and
// removes the old temporaries.
TEST(SettingsSurvive, TakenTemporaryNamesAreSkippedAndCleared) {
  TempFolder folder;
  WriteFile(folder.File(), "[Mine]\n");
  const std::string next = TemporaryPathBeside(folder.File());
  const std::string stem = next.substr(0, next.rfind('-') + 1);
  const unsigned long counter = std::stoul(next.substr(stem.size()), nullptr, 16);
  std::vector<std::string> taken;
  for (unsigned long n = counter + 1; n <= counter + 3; ++n) {
    char hex[32];
    std::snprintf(hex, sizeof hex, "%lx.tmp", n);
    taken.push_back(stem + hex);
    WriteFile(taken.back(), "partial");
    fs::last_write_time(taken.back(), fs::file_time_type::clock::now() - std::chrono::minutes(2));
  }
  struct stat before {};
  stat(folder.File().c_str(), &before);
  SaveSettings(WorkedExample(), folder.File());
  struct stat after {};
  stat(folder.File().c_str(), &after);
  EXPECT_NE(before.st_ino, after.st_ino) << "replaced, not written in place";
  for (const std::string& name : taken) EXPECT_FALSE(fs::exists(name)) << name;
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
