#include "figures_save.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

namespace ratecalc {

SaveOutcome SaveFigures(const RateModel& model, const std::string& path) {
  // A folder that cannot be made is no failure of its own here: the save
  // then fails and says why.
  if (!path.empty()) QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath());
  return SaveSettings(model, path);
}

QString SaveFailureMessage(const SaveOutcome& outcome) {
  const std::string_view text = SaveFailureText(outcome.failure);
  const QString reason = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  if (outcome.path.empty())
    return QStringLiteral("The figures could not be saved: %1.").arg(reason);
  // The path as text, whether the outcome holds it or views it.
  const QString path =
      QString::fromUtf8(outcome.path.data(), static_cast<qsizetype>(outcome.path.size()));
  return QStringLiteral("The figures could not be saved to %1: %2.").arg(path, reason);
}

void TellSaveFailure(const SaveOutcome& outcome) {
  QMessageBox::warning(nullptr, QStringLiteral("KOV Rate Calculator"), SaveFailureMessage(outcome));
}

}  // namespace ratecalc
