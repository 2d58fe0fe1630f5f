// The Linux program's own command-line options, answered before Qt is
// started, so that they need no display and open no window. Qt's own
// options (-platform, -display, -style and the like) are left for Qt.
#pragma once

namespace ratecalc {

// The code AnswerCommandLine returns when the program is to go on and
// open its window.
inline constexpr int kCarryOn = -1;

// Answers --help and --version on the standard output (returning 0) and an
// unknown option or a stray argument on the standard error (returning 2);
// returns kCarryOn when the line holds nothing but Qt's options.
int AnswerCommandLine(int argc, const char* const* argv);

}  // namespace ratecalc
