// The About window: the picture and the line of text the close sequence
// shows once the main window has gone. Closed only from its frame.
#pragma once

#include <QDialog>

class QLabel;

namespace ratecalc {

class AboutWindow : public QDialog {
 public:
  AboutWindow();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override {}  // Escape closes nothing

 private:
  QLabel* picture_;
  QLabel* notice_;
};

}  // namespace ratecalc
