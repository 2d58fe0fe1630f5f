// The Linux program's own command-line options, answered before Qt is
// started, so that they need no display and open no window. Qt's own
// options (-platform, -display, -style and the like) are left for Qt.
#pragma once

#include <vector>

namespace ratecalc {

// The code AnswerCommandLine returns when the program is to go on and
// open its window.
inline constexpr int kCarryOn = -1;

// Answers --help and --version on the standard output (returning 0) and an
// unknown option or a stray argument on the standard error (returning 2);
// returns kCarryOn when the line holds nothing but Qt's options.
int AnswerCommandLine(int argc, const char* const* argv);

// The arguments for Qt, which reads an option's value only from the next
// argument: "--platform=offscreen" becomes "--platform" "offscreen", by
// ending the name in place. Ends with a null pointer, not counted in argc.
std::vector<char*> QtArguments(int argc, char** argv);

// Whether the platform Qt is to use (the last -platform, else
// QT_QPA_PLATFORM) can show a window here. Only X11 is judged: it needs
// DISPLAY or -display, and Qt aborts without one; every other platform is
// Qt's to judge. A list such as "wayland;xcb" is tried in turn, as Qt does.
bool HasDisplay(int argc, const char* const* argv);

// Says on the standard error that the program needs a graphical session,
// in one line, and returns the exit code for it.
int RefuseWithoutDisplay();

}  // namespace ratecalc
