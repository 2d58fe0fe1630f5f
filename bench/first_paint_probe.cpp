// Linked into the start-up benchmark's programs only: when the first window
// has painted, writes the nanoseconds since RATECALC_T0_NS (CLOCK_MONOTONIC,
// set by the launcher just before it started the program) and ends the
// process at once, so that nothing after the first paint is measured.
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

void ReportAndExit() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const long long t0 =
      std::atoll(std::getenv("RATECALC_T0_NS") ? std::getenv("RATECALC_T0_NS") : "0");
  std::printf("%lld\n", now.tv_sec * 1000000000LL + now.tv_nsec - t0);
  std::fflush(stdout);
  std::_Exit(0);
}

class FirstPaint : public QObject {
 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Paint && object->isWidgetType() &&
        static_cast<QWidget*>(object)->isWindow()) {
      // After the whole window, children included, has been painted and
      // flushed to the display.
      QTimer::singleShot(0, ReportAndExit);
      QCoreApplication::instance()->removeEventFilter(this);
    }
    return false;
  }
};

void InstallProbe() { QCoreApplication::instance()->installEventFilter(new FirstPaint); }

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallProbe)
