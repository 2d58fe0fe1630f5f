// Opens the built program as data and checks its resources bit for bit:
// templates, control order and styles, icon, bitmap and version block.
#include "resource.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "dialog_template.h"
#include "window_template.h"

namespace ratecalc {
namespace {

using testing::DialogTemplate;
using testing::ParseDialogTemplate;
using testing::TemplateItem;

const WORD kEnglishUk = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK);

class ProgramResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExA("KOVRateCalc.exe", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module_, nullptr) << "KOVRateCalc.exe is not in the working folder";
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }

  // The resource's bytes, in English (United Kingdom) only.
  std::vector<BYTE> Load(LPCSTR type, int id) {
    HRSRC found = FindResourceExA(module_, type, MAKEINTRESOURCEA(id), kEnglishUk);
    if (!found) return {};
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module_, found)));
    return std::vector<BYTE>(data, data + SizeofResource(module_, found));
  }

  HMODULE module_ = nullptr;
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr int kNone = 0xFFFF;

// A template control as the resource compiler writes it: its class, its
// identifier in 16 bits, its text and the style bits behind its words.
TemplateItem Win32Item(const ControlTemplate& control) {
  const bool field = control.kind == ControlKind::kField;
  DWORD style = kChild;
  std::string window_class = "Static";
  std::string text = control.text;
  switch (control.kind) {
    case ControlKind::kCalcButton:
      window_class = "Button";
      style |= control.styles & kDefaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
      break;
    case ControlKind::kSwitch:
      window_class = "Button";
      style |= BS_AUTOCHECKBOX;
      break;
    case ControlKind::kModeButton:
      window_class = "Button";
      style |= BS_AUTORADIOBUTTON;
      break;
    case ControlKind::kField:
      window_class = "Edit";
      break;
    case ControlKind::kPicture:
      style |= SS_BITMAP;
      text = "#" + std::to_string(IDB_ABOUT);
      break;
    default:
      break;
  }
  const struct {
    unsigned word;
    DWORD bits;
  } words[] = {
      {kTabStop, WS_TABSTOP},
      {kBorder, WS_BORDER},
      {kTextRight, field ? DWORD{ES_RIGHT} : DWORD{SS_RIGHT}},
      {kTextCentre, SS_CENTER},
      {kTextMiddle, SS_CENTERIMAGE},
      {kAutoScroll, ES_AUTOHSCROLL},
      {kBoxRight, BS_LEFTTEXT},
      {kStartsGroup, WS_GROUP},
      {kRealSize, SS_REALSIZEIMAGE},
  };
  for (const auto& word : words) {
    if (control.styles & word.word) style |= word.bits;
  }
  const int id = control.id == IDC_NONE ? kNone : control.id;
  return {window_class,       id,    text, control.box.x, control.box.y, control.box.width,
          control.box.height, style, 0};
}

std::vector<TemplateItem> Win32Items(const WindowTemplate& window) {
  std::vector<TemplateItem> items;
  for (const ControlTemplate& control : window.controls) items.push_back(Win32Item(control));
  return items;
}

void ExpectItems(const DialogTemplate& t, const std::vector<TemplateItem>& expected) {
  ASSERT_EQ(t.items.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const TemplateItem& got = t.items[i];
    const TemplateItem& want = expected[i];
    SCOPED_TRACE("control " + std::to_string(i + 1) + " (" + want.text + ")");
    EXPECT_EQ(got.window_class, want.window_class);
    EXPECT_EQ(got.id & 0xFFFF, want.id);
    EXPECT_EQ(got.text, want.text);
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.cx, want.cx);
    EXPECT_EQ(got.cy, want.cy);
    EXPECT_EQ(got.style, want.style) << std::hex << got.style << " != " << want.style;
    EXPECT_EQ(got.ex_style, 0u);
  }
}

// The classic template form with no menu, the default class, no extended
// style and 8-point "MS Sans Serif".
void ExpectDialog(const DialogTemplate& t, DWORD style, const WindowTemplate& window) {
  EXPECT_FALSE(t.extended);
  EXPECT_EQ(t.style, style) << std::hex << t.style;
  EXPECT_EQ(t.ex_style, 0u);
  EXPECT_EQ(t.x, 0);
  EXPECT_EQ(t.y, 0);
  EXPECT_EQ(t.cx, window.width);
  EXPECT_EQ(t.cy, window.height);
  EXPECT_EQ(t.menu, "");
  EXPECT_EQ(t.window_class, "");
  EXPECT_EQ(t.caption, window.caption);
  EXPECT_EQ(t.point_size, window.point_size);
  EXPECT_EQ(t.font, window.font);
}

// The resource file's dialogs are the window templates, control by control.
TEST_F(ProgramResources, MainWindowTemplateHoldsTheTwentyControlsInTabOrder) {
  const std::vector<BYTE> data = Load(RT_DIALOG, IDD_MAIN);
  ASSERT_FALSE(data.empty());
  const DialogTemplate t = ParseDialogTemplate(data.data());
  ExpectDialog(t, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
               kMainWindow);
  ASSERT_EQ(kMainWindow.controls.size(), 20u);
  ExpectItems(t, Win32Items(kMainWindow));
  // Spot checks of the words' bits, should the table and the file agree on
  // a wrong word.
  EXPECT_EQ(t.items[3].style, kChild | WS_BORDER | WS_TABSTOP | ES_RIGHT | ES_AUTOHSCROLL);
  EXPECT_EQ(t.items[6].style, kChild | BS_AUTOCHECKBOX | BS_LEFTTEXT | WS_TABSTOP);
}

TEST_F(ProgramResources, AboutWindowTemplateHoldsThePictureAndTheNotice) {
  const std::vector<BYTE> data = Load(RT_DIALOG, IDD_ABOUT);
  ASSERT_FALSE(data.empty());
  const DialogTemplate t = ParseDialogTemplate(data.data());
  ExpectDialog(t, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
               kAboutWindow);
  ASSERT_EQ(t.items.size(), 2u);
  EXPECT_FALSE(t.items[1].text.empty());
  ExpectItems(t, Win32Items(kAboutWindow));
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bit_count;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

TEST_F(ProgramResources, IconGroupHoldsTwoSixteenColourImagesWithMasks) {
  const std::vector<BYTE> group = Load(RT_GROUP_ICON, IDI_APP);
  ASSERT_GE(group.size(), 6u + 2 * sizeof(GroupIconEntry));
  const WORD* header = reinterpret_cast<const WORD*>(group.data());
  EXPECT_EQ(header[0], 0);
  EXPECT_EQ(header[1], 1);
  ASSERT_EQ(header[2], 2);
  const int sizes[] = {32, 16};
  for (int i = 0; i < 2; ++i) {
    GroupIconEntry entry;
    std::memcpy(&entry, group.data() + 6 + i * sizeof entry, sizeof entry);
    SCOPED_TRACE("image " + std::to_string(sizes[i]));
    EXPECT_EQ(entry.width, sizes[i]);
    EXPECT_EQ(entry.height, sizes[i]);
    EXPECT_EQ(entry.colours, 16);
    EXPECT_EQ(entry.bit_count, 4);
    const std::vector<BYTE> image = Load(RT_ICON, entry.id);
    ASSERT_EQ(image.size(), entry.bytes);
    BITMAPINFOHEADER info;
    std::memcpy(&info, image.data(), sizeof info);
    EXPECT_EQ(info.biWidth, sizes[i]);
    EXPECT_EQ(info.biHeight, 2 * sizes[i]);  // colour image and mask
    EXPECT_EQ(info.biBitCount, 4);
    const std::size_t colour_bytes = static_cast<std::size_t>(sizes[i] * sizes[i] / 2);
    const std::size_t mask_bytes =
        static_cast<std::size_t>(4 * sizes[i]);  // rows padded to 32 bits
    EXPECT_EQ(image.size(), sizeof info + 16 * 4 + colour_bytes + mask_bytes);
  }
}

TEST_F(ProgramResources, AboutBitmapIsUncompressedTrueColour) {
  const std::vector<BYTE> bitmap = Load(RT_BITMAP, IDB_ABOUT);
  ASSERT_GE(bitmap.size(), sizeof(BITMAPINFOHEADER));
  BITMAPINFOHEADER info;
  std::memcpy(&info, bitmap.data(), sizeof info);
  EXPECT_EQ(info.biWidth, 320);
  EXPECT_EQ(info.biHeight, 240);
  EXPECT_EQ(info.biBitCount, 24);
  EXPECT_EQ(info.biCompression, DWORD{BI_RGB});
  EXPECT_EQ(info.biXPelsPerMeter, 3780);
  EXPECT_EQ(info.biYPelsPerMeter, 3780);
  EXPECT_EQ(bitmap.size(), sizeof info + 320u * 240u * 3u);
}

std::string VersionString(const std::vector<BYTE>& block, const char* name) {
  char* value = nullptr;
  UINT length = 0;
  const std::string path = std::string("\\StringFileInfo\\080904B0\\") + name;
  if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) {
    return "<missing>";
  }
  return std::string(value);
}

TEST_F(ProgramResources, VersionBlockNamesThisRelease) {
  std::vector<BYTE> block = Load(RT_VERSION, 1);
  ASSERT_FALSE(block.empty());
  block.resize(block.size() * 2);  // VerQueryValueA may convert into the spare half
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, DWORD{(1u << 16) | 2012u});
  EXPECT_EQ(fixed->dwFileVersionLS, DWORD{6u << 16});
  EXPECT_EQ(fixed->dwProductVersionMS, DWORD{(1u << 16) | 2012u});
  EXPECT_EQ(fixed->dwProductVersionLS, DWORD{6u << 16});
  EXPECT_EQ(fixed->dwFileOS, DWORD{VOS__WINDOWS32});
  EXPECT_EQ(fixed->dwFileType, DWORD{VFT_APP});
  EXPECT_EQ(fixed->dwFileFlags, 0u);
  EXPECT_EQ(VersionString(block, "FileVersion"), "1, 2012, 06, 0");
  EXPECT_EQ(VersionString(block, "ProductVersion"), "1, 2012, 06, 0");
  EXPECT_EQ(VersionString(block, "ProductName"), "KOV Rate Calculator");
  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0809);
  EXPECT_EQ(translation[1], 1200);
}

BOOL CALLBACK CollectType(HMODULE, LPSTR type, LONG_PTR list) {
  if (IS_INTRESOURCE(type)) {
    reinterpret_cast<std::set<ULONG_PTR>*>(list)->insert(reinterpret_cast<ULONG_PTR>(type));
  }
  return TRUE;
}

BOOL CALLBACK CountNamed(HMODULE, LPCSTR, LPSTR, LONG_PTR count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

TEST_F(ProgramResources, NothingElseNoManifestMenuOrStrings) {
  std::set<ULONG_PTR> types;
  EnumResourceTypesA(module_, CollectType, reinterpret_cast<LONG_PTR>(&types));
  const std::set<ULONG_PTR> expected = {
      reinterpret_cast<ULONG_PTR>(RT_ICON), reinterpret_cast<ULONG_PTR>(RT_BITMAP),
      reinterpret_cast<ULONG_PTR>(RT_DIALOG), reinterpret_cast<ULONG_PTR>(RT_GROUP_ICON),
      reinterpret_cast<ULONG_PTR>(RT_VERSION)};
  EXPECT_EQ(types, expected);
  int dialogs = 0;
  EnumResourceNamesA(module_, RT_DIALOG, CountNamed, reinterpret_cast<LONG_PTR>(&dialogs));
  EXPECT_EQ(dialogs, 2);
}

}  // namespace
}  // namespace ratecalc
