// The Linux entry point: load the figures, run the main window until it and
// the About window are closed, save the figures and say so if that failed.
// The window itself saves them when the desktop session ends with it open.
#include <QApplication>
#include <QIcon>
#include <QUrl>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app_files.h"
#include "calculator_window.h"
#include "command_line.h"
#include "figures_save.h"
#include "help_window.h"
#include "linux_settings_path.h"
#include "settings_file.h"

namespace {

// Window managers keep a window on top only through X11; on a Wayland
// desktop that means XWayland. The user's own choice still wins.
void PreferX11(int argc, char** argv) {
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) return;
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
}

}  // namespace

int main(int argc, char** argv) {
  using namespace ratecalc;
  if (const int code = AnswerCommandLine(argc, argv); code != kCarryOn) return code;
  std::vector<char*> qt_arguments = QtArguments(argc, argv);
  int qt_argc = static_cast<int>(qt_arguments.size()) - 1;
  PreferX11(qt_argc, qt_arguments.data());
  // Qt would abort, blaming its own installation; nothing is loaded yet.
  if (!HasDisplay(qt_argc, qt_arguments.data())) return RefuseWithoutDisplay();

  std::string settings_path =
      LinuxSettingsPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
  // Without a home folder, the current folder, as the Windows program does.
  if (settings_path.empty()) settings_path = kSettingsPath;
  RateModel model;
  LoadSettings(model, settings_path);

  QApplication app(qt_argc, qt_arguments.data());
  QIcon icon;
  for (int size : {48, 256}) icon.addFile(AppIconFile(size), QSize(size, size));
  QApplication::setWindowIcon(icon);
  QApplication::setDesktopFileName(QStringLiteral("kov-rate-calculator"));

  const QString help_page = AppDataFile(QStringLiteral("help/index.html"));
  HelpWindow help;
  CalculatorWindow window(
      model, settings_path,
      {.open_help = [&] { help.showPage(QUrl::fromLocalFile(help_page), &window); },
       .quit = [] { QCoreApplication::exit(0); }});
  window.show();
  QApplication::exec();
  const SaveOutcome saved = SaveFigures(model, settings_path);
  if (!saved.saved()) TellSaveFailure(saved);
  return 0;
}
