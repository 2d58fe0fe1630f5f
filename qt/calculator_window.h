// The calculator window on Qt 6 Widgets, built from the window template and
// brought to life by the window rules: it reads its fields and the focus,
// calls the rule for what the user did, and draws the view it gets back.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <array>
#include <functional>
#include <string>

#include "rate_model.h"
#include "settings_file.h"
#include "window_rules.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace ratecalc {

class CalculatorWindow : public QDialog {
 public:
  // What the window asks of the program around it; either may be left
  // empty.
  struct Seams {
    std::function<void()> open_help;  // F1
    std::function<void()> quit;       // the close sequence's last step
  };

  // Shows `model` and changes it as the user works; `settings_path` is
  // where a desktop session's end saves it.
  CalculatorWindow(RateModel& model, std::string settings_path, Seams seams);

  // The desktop session is ending with the window open: the process may end
  // without the close sequence, so the figures are saved now. Connected to
  // the application's commitDataRequest.
  SaveOutcome saveForSessionEnd();

  // The control at a place in kMainWindow.controls.
  QWidget* control(int place) const { return controls_[static_cast<std::size_t>(place)]; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool focusNextPrevChild(bool next) override;
  void reject() override {}  // Escape closes nothing

 private:
  void buildControls();
  QWidget* makeControl(const ControlTemplate& control);
  std::array<QByteArray, kFieldCount> fieldBytes() const;
  void draw(const WindowView& view);
  int focusedPlace() const;
  int focusedField() const;
  void pressCalc();
  void toggleSwitch(Switch which);
  void chooseMode(CalcMode mode);
  void focusPlace(int place);
  bool fieldKeyPress(int field, const QKeyEvent& key);
  void drawEdit(int field, const FieldEdit& edit);

  RateModel& model_;
  std::string settings_path_;
  Seams seams_;
  std::array<QWidget*, kMainWindow.controls.size()> controls_{};
  std::array<QLineEdit*, kFieldCount> fields_{};
  std::array<FieldUndo, kFieldCount> undo_{};  // what Ctrl+Z puts back, by field
  std::array<QCheckBox*, kSwitchCount> switches_{};
  std::array<QRadioButton*, kModeCount> mode_buttons_{};  // in the order of kModes
};

}  // namespace ratecalc
