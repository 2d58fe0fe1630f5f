#include "app_files.h"

#include <QCoreApplication>
#include <QDir>

namespace ratecalc {
namespace {

QString SharePath() {
  return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share")) +
         QLatin1Char('/');
}

}  // namespace

QString AppDataFile(const QString& name) {
  return SharePath() + QStringLiteral("kov-rate-calculator/") + name;
}

QString AppIconFile(int size) {
  return SharePath() + QStringLiteral("icons/hicolor/%1x%1/apps/kov-rate-calculator.png").arg(size);
}

}  // namespace ratecalc
