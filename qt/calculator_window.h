// The calculator window on Qt 6 Widgets: the same six fields, switches,
// mode buttons and Calc as the Windows dialog, on the process's RateModel,
// deciding through the shared window rules.
#pragma once

#include <QString>
#include <QUrl>

#include "rate_model.h"

class QDialog;

namespace ratecalc {

extern RateModel g_model;

// The help's first page, opened with F1; the entry point sets it.
extern QString g_help_page;

// The effects that leave the window, replaceable so that tests can watch
// them: opening the help in the user's viewer (QDesktopServices::openUrl)
// and ending the program's run (QCoreApplication::exit with 0).
extern bool (*g_open_url)(const QUrl& url);
extern void (*g_quit)();

// Builds the window showing g_model, not yet shown. Closing it hides it,
// shows the About window until that is closed, then calls g_quit. The
// window deletes itself once closed.
QDialog* CreateCalculatorWindow();

}  // namespace ratecalc
