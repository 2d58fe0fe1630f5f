#include "command_line.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string_view>

namespace ratecalc {
namespace {

constexpr const char* kProgram = "kov-rate-calculator";

constexpr const char* kUsage =
    "Usage: kov-rate-calculator [OPTION]... [QT-OPTION]...\n"
    "Works out the pay a charge and margin allow, the charge a pay and margin\n"
    "need, or the margin a pay and charge leave, in a small window that stays\n"
    "on top. F1 in the window shows the help.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "\n"
    "Qt's own options are passed on to Qt, for example -platform NAME,\n"
    "-display DISPLAY, -style NAME and -reverse.\n"
    "\n"
    "The figures are kept in $XDG_CONFIG_HOME/kov-rate-calculator/KOVRateCalc.ini\n"
    "(~/.config/kov-rate-calculator/KOVRateCalc.ini when XDG_CONFIG_HOME is not set).\n";

// Qt's options that take the next argument as their value, and those that
// stand alone (QGuiApplication, QApplication and the X11 platform). Qt
// accepts them with one dash or two.
constexpr std::string_view kQtOptionsWithValue[] = {"platform",
                                                    "platformpluginpath",
                                                    "platformtheme",
                                                    "plugin",
                                                    "qwindowgeometry",
                                                    "geometry",
                                                    "qwindowtitle",
                                                    "title",
                                                    "qwindowicon",
                                                    "icon",
                                                    "display",
                                                    "session",
                                                    "style",
                                                    "stylesheet",
                                                    "name"};
constexpr std::string_view kQtFlags[] = {"reverse", "widgetcount", "nograb",
                                         "dograb",  "sync",        "testability"};

bool IsIn(std::string_view name, const std::string_view* first, const std::string_view* last) {
  for (; first != last; ++first) {
    if (*first == name) return true;
  }
  return false;
}

bool IsQtOptionWithValue(std::string_view name) {
  return IsIn(name, std::begin(kQtOptionsWithValue), std::end(kQtOptionsWithValue));
}

bool IsOption(std::string_view argument, std::string_view name) {
  return argument.size() > 1 && argument[0] == '-' &&
         argument.substr(argument.starts_with("--") ? 2 : 1) == name;
}

// The option's name without its dashes and without an attached "=value".
std::string_view OptionName(std::string_view argument) {
  argument.remove_prefix(argument.starts_with("--") ? 2 : 1);
  return argument.substr(0, argument.find('='));
}

int Refuse(const char* what, const char* argument) {
  std::fprintf(stderr, "%s: %s '%s'\nTry '%s --help' for more information.\n", kProgram, what,
               argument, kProgram);
  return 2;
}

}  // namespace

int AnswerCommandLine(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (argument == "--version") {
      std::printf("%s %s\n", kProgram, RATECALC_VERSION);
      return 0;
    }
    if (argument.size() < 2 || argument[0] != '-') return Refuse("unexpected argument", argv[i]);
    const std::string_view name = OptionName(argument);
    const bool has_value = argument.find('=') != std::string_view::npos;
    if (IsQtOptionWithValue(name)) {
      if (has_value && argument.ends_with('=')) {
        return Refuse("the option needs a value:", argv[i]);
      }
      if (!has_value) {
        if (i + 1 == argc) return Refuse("the option needs a value:", argv[i]);
        ++i;
      }
      continue;
    }
    if (IsIn(name, std::begin(kQtFlags), std::end(kQtFlags)) && !has_value) continue;
    return Refuse("unknown option", argv[i]);
  }
  return kCarryOn;
}

std::vector<char*> QtArguments(int argc, char** argv) {
  std::vector<char*> arguments;
  arguments.reserve(2 * static_cast<std::size_t>(argc) + 1);
  for (int i = 0; i < argc; ++i) {
    char* argument = argv[i];
    arguments.push_back(argument);
    if (i == 0 || argument[0] != '-') continue;
    char* equals = std::strchr(argument, '=');
    if (equals != nullptr && IsQtOptionWithValue(OptionName(argument))) {
      *equals = '\0';
      arguments.push_back(equals + 1);
    } else if (IsQtOptionWithValue(OptionName(argument)) && i + 1 < argc) {
      // The value, even one that starts with '=' or '-', is not an option.
      arguments.push_back(argv[++i]);
    }
  }
  arguments.push_back(nullptr);
  return arguments;
}

bool HasDisplay(int argc, const char* const* argv) {
  const char* platforms = std::getenv("QT_QPA_PLATFORM");
  bool display_named = false;
  for (int i = 1; i + 1 < argc; ++i) {
    if (argv[i][0] != '-' || !IsQtOptionWithValue(OptionName(argv[i]))) continue;
    if (IsOption(argv[i], "platform")) platforms = argv[i + 1];
    if (IsOption(argv[i], "display")) display_named = true;
    ++i;
  }
  const char* display = std::getenv("DISPLAY");
  if (display_named || (display != nullptr && *display != '\0')) return true;
  if (platforms == nullptr) return true;
  // Each entry is a name, perhaps with ":options" after it.
  std::string_view list = platforms;
  while (true) {
    const std::string_view entry = list.substr(0, list.find(';'));
    if (entry.substr(0, entry.find(':')) != "xcb") return true;
    if (entry.size() == list.size()) return false;
    list.remove_prefix(entry.size() + 1);
  }
}

int RefuseWithoutDisplay() {
  std::fprintf(stderr,
               "%s: no display: the calculator is a window and needs a graphical session "
               "(X11, or Wayland with XWayland); '%s --help' and '%s --version' work without "
               "one.\n",
               kProgram, kProgram, kProgram);
  return 1;
}

}  // namespace ratecalc
