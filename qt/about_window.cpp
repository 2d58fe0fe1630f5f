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

  // The picture at its own size, centred in its place as the text is
  // centred in its own: the font decides the place, not the picture.
  const QPixmap pixmap(AppDataFile(QStringLiteral("about.bmp")));
  picture_->setPixmap(pixmap);
  QRect picture_place(QPoint(), pixmap.size());
  picture_place.moveCenter(ToPixels(units, ControlOf(ControlKind::kPicture).box).center());
  picture_->setGeometry(picture_place);

  notice_->setGeometry(ToPixels(units, ControlOf(ControlKind::kNotice).box));
  notice_->setAlignment(Qt::AlignCenter);
}

void AboutWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  done(QDialog::Rejected);
}

}  // namespace ratecalc
