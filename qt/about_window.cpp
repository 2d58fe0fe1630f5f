#include "about_window.h"

#include <QCloseEvent>
#include <QDialog>
#include <QLabel>
#include <QPixmap>

#include "app_files.h"
#include "dialog_units.h"

namespace ratecalc {
namespace {

// The template: 228 x 182 dialog units, the picture at its own pixel size
// from the top left of its place, the line of text under it.
constexpr DialogRect kWindowSize = {0, 0, 228, 182};
constexpr DialogRect kPicture = {7, 7, 213, 148};
constexpr DialogRect kNotice = {7, 163, 213, 10};

// Closed only from its frame: Escape does nothing.
class AboutDialog : public QDialog {
 protected:
  void reject() override {}
  void closeEvent(QCloseEvent* event) override {
    event->accept();
    done(QDialog::Rejected);
  }
};

}  // namespace

void ShowAboutWindow() {
  AboutDialog about;
  about.setWindowTitle(QStringLiteral("About KOV Rate Calculator"));
  about.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                       Qt::WindowStaysOnTopHint);
  QFont font = about.font();
  font.setPointSize(8);  // the template's size
  about.setFont(font);
  const DialogUnits units = DialogUnitsOf(font);
  about.setFixedSize(ToPixels(units, kWindowSize).size());

  QLabel* picture = new QLabel(&about);
  const QPixmap pixmap(AppDataFile(QStringLiteral("about.bmp")));
  picture->setPixmap(pixmap);
  picture->setGeometry(QRect(ToPixels(units, kPicture).topLeft(), pixmap.size()));

  QLabel* notice = new QLabel(
      QString::fromUtf8("\u00a9 The owner of KOV Rate Calculator. All rights reserved."), &about);
  notice->setGeometry(ToPixels(units, kNotice));
  notice->setAlignment(Qt::AlignCenter);

  about.exec();
}

}  // namespace ratecalc
