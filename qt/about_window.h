// The About window: the picture and the line of text the close sequence
// shows once the main window has gone.
#pragma once

namespace ratecalc {

// Shows the About window and returns when the user has closed it.
void ShowAboutWindow();

}  // namespace ratecalc
