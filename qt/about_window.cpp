#include "about_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPixmap>

#include "app_files.h"
#include "dialog_units.h"
#include "window_template.h"

namespace ratecalc {
namespace {

const ControlTemplate& ControlOf(ControlKind kind) {
  for (const ControlTemplate& control : kAboutWindow.controls) {
    if (control.kind == kind) return control;
  }
  return kAboutWindow.controls.front();
}

}  // namespace

AboutWindow::AboutWindow()
    : picture_(new QLabel(this)),
      notice_(new QLabel(QString::fromLatin1(ControlOf(ControlKind::kNotice).text), this)) {
  setWindowTitle(QString::fromLatin1(kAboutWindow.caption));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  QFont template_font = font();
  template_font.setPointSize(kAboutWindow.point_size);
  setFont(template_font);
  const DialogUnits units = DialogUnitsOf(template_font);
  setFixedSize(ToPixels(units, {0, 0, kAboutWindow.width, kAboutWindow.height}).size());

  // The picture at its own pixel size from its place's top left (kRealSize),
  // as the Windows program shows it whatever the font makes of the place.
  const QPixmap pixmap(AppDataFile(QStringLiteral("about.bmp")));
  picture_->setPixmap(pixmap);
  picture_->setGeometry(
      QRect(ToPixels(units, ControlOf(ControlKind::kPicture).box).topLeft(), pixmap.size()));

  notice_->setGeometry(ToPixels(units, ControlOf(ControlKind::kNotice).box));
  notice_->setAlignment(Qt::AlignCenter);
}

// Accepted here, since the dialog's own close asks reject(), which does
// nothing; hidden, the dialog ends its modal run.
void AboutWindow::closeEvent(QCloseEvent* event) { event->accept(); }

}  // namespace ratecalc
