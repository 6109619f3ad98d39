#pragma once

#include <QDateTime>
#include <QObject>
#include <chrono>
#include <functional>

class QTimer;

namespace hiduke {

// Today's date, kept with the clock: it changes at midnight, and when the
// system clock jumps (a resume from suspend, a change of the time) it is
// found within a short while, or at once when the window is activated.
class TodayClock : public QObject {
  Q_OBJECT

 public:
  // `now` reads the local date and time.
  explicit TodayClock(std::function<QDateTime()> now = &QDateTime::currentDateTime, QObject* parent = nullptr);

  std::chrono::year_month_day today() const { return today_; }
  // Reads the clock now; emits todayChanged when the date moved.
  void check();

 signals:
  void todayChanged(std::chrono::year_month_day today);

 private:
  void scheduleCheck();

  std::function<QDateTime()> now_;
  std::chrono::year_month_day today_;
  QTimer* next_ = nullptr;
};

}  // namespace hiduke
