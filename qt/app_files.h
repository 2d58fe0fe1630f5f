// Where the program finds what it ships beside it. The program lives in
// bin/ and its files in share/ of the same prefix: under /usr when
// installed, in the build folder, or wherever the package was unpacked.
#pragma once

#include <QString>

namespace ratecalc {

// A file of the program's own, in share/kov-rate-calculator/.
QString AppDataFile(const QString& name);

// The program's icon at the given size, from share/icons/hicolor/.
QString AppIconFile(int size);

}  // namespace ratecalc
