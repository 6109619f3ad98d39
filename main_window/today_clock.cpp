#include "main_window/today_clock.h"

#include <QTimer>

namespace hiduke {
namespace {

// The clock is read at midnight, and at least this often besides: a
// suspended system does not count the time towards midnight, and the clock
// may be set.
constexpr qint64 kLongestWaitMs = 30'000;

std::chrono::year_month_day dateOf(const QDateTime& time) {
  const QDate date = time.date();
  return std::chrono::year(date.year()) / std::chrono::month(static_cast<unsigned>(date.month())) /
         std::chrono::day(static_cast<unsigned>(date.day()));
}

}  // namespace

TodayClock::TodayClock(std::function<QDateTime()> now, QObject* parent)
    : QObject(parent), now_(std::move(now)), today_(dateOf(now_())) {
  next_ = new QTimer(this);
  next_->setSingleShot(true);
  next_->setTimerType(Qt::PreciseTimer);
  connect(next_, &QTimer::timeout, this, &TodayClock::check);
  scheduleCheck();
}

void TodayClock::check() {
  const std::chrono::year_month_day today = dateOf(now_());
  scheduleCheck();
  if (today == today_) return;
  today_ = today;
  emit todayChanged(today_);
}

void TodayClock::scheduleCheck() {
  const QDateTime now = now_();
  const QDateTime midnight(now.date().addDays(1), QTime(0, 0));
  // A little after midnight, so that the clock reads the new day then.
  next_->start(static_cast<int>(std::min(now.msecsTo(midnight) + 50, kLongestWaitMs)));
}

}  // namespace hiduke
