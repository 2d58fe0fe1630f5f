// The Linux entry point: load the figures, run the main window until it and
// the About window are closed, save the figures. Also saved when the
// session ends with the window still open.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app_files.h"
#include "calculator_window.h"
#include "settings_file.h"
#include "linux_settings_path.h"

namespace {

std::string g_settings_path;

void SaveFigures() {
  QDir().mkpath(QFileInfo(QString::fromStdString(g_settings_path)).absolutePath());
  ratecalc::SaveSettings(ratecalc::g_model, g_settings_path);
}

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
  g_settings_path = LinuxSettingsPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
  // Without a home folder, the current folder, as the Windows program does.
  if (g_settings_path.empty()) g_settings_path = kSettingsPath;
  LoadSettings(g_model, g_settings_path);

  PreferX11(argc, argv);
  QApplication app(argc, argv);
  QIcon icon;
  for (int size : {48, 256}) icon.addFile(AppIconFile(size), QSize(size, size));
  QApplication::setWindowIcon(icon);
  QApplication::setDesktopFileName(QStringLiteral("kov-rate-calculator"));
  g_help_page = AppDataFile(QStringLiteral("help/index.html"));
  QObject::connect(&app, &QGuiApplication::commitDataRequest, [] { SaveFigures(); });

  CreateCalculatorWindow()->show();
  QApplication::exec();
  SaveFigures();
  return 0;
}
