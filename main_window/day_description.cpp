#include "main_window/day_description.h"

#include <QStringList>
#include <array>

#include "main_window/holiday_names.h"
#include "month_model/japanese_era.h"

namespace hiduke {
namespace {

constexpr int kNoteLinesShown = 3;
constexpr qsizetype kLineCharactersShown = 40;

// A line cut after its first kLineCharactersShown characters (code points,
// so that no character is split in two).
QString shortened(QStringView line) {
  qsizetype end = 0;
  for (qsizetype characters = 0; end < line.size(); ++characters) {
    if (characters == kLineCharactersShown) return line.first(end).toString() + QStringLiteral("…");
    end += line[end].isHighSurrogate() && end + 1 < line.size() ? 2 : 1;
  }
  return line.toString();
}

}  // namespace

QString monthText(std::chrono::year_month month) {
  return QStringLiteral("%1年%2月").arg(static_cast<int>(month.year())).arg(static_cast<unsigned>(month.month()));
}

QString dateText(std::chrono::year_month_day date) {
  return monthText(date.year() / date.month()) + QStringLiteral("%1日").arg(static_cast<unsigned>(date.day()));
}

QString weekdayName(std::chrono::weekday weekday) {
  static const std::array<QString, 7> kNames = {
      QStringLiteral("日曜日"), QStringLiteral("月曜日"), QStringLiteral("火曜日"), QStringLiteral("水曜日"),
      QStringLiteral("木曜日"), QStringLiteral("金曜日"), QStringLiteral("土曜日")};
  return kNames[weekday.c_encoding()];
}

QString dateWithWeekday(std::chrono::year_month_day date) {
  const QString weekday = weekdayName(std::chrono::weekday(std::chrono::sys_days(date))).left(1);
  return dateText(date) + QStringLiteral("（%1）").arg(weekday);
}

QString eraYearText(std::chrono::year_month_day date) {
  const std::optional<EraYear> eraYear = eraYearOf(date);
  if (!eraYear) return QString();
  const QString name = QString::fromUtf8(eraOf(eraYear->era).name.data(), eraOf(eraYear->era).name.size());
  return name + (eraYear->year == 1 ? QStringLiteral("元") : QString::number(eraYear->year)) + QStringLiteral("年");
}

QString dayName(std::chrono::year_month_day date, bool today, const std::optional<HolidayId>& holiday, bool hasNote) {
  QStringList words{dateText(date), weekdayName(std::chrono::weekday(std::chrono::sys_days(date)))};
  if (today) words << QStringLiteral("今日");
  if (holiday) words << holidayName(*holiday);
  if (hasNote) words << QStringLiteral("予定あり");
  return words.join(QLatin1Char(' '));
}

QString dayDescription(std::chrono::year_month_day date, const std::optional<HolidayId>& holiday,
                       const std::optional<std::string>& note) {
  QString heading = dateWithWeekday(date);
  if (const QString era = eraYearText(date); !era.isEmpty()) heading += QLatin1Char(' ') + era;
  QStringList lines{heading};
  if (holiday) lines << holidayName(*holiday);
  if (note) {
    const QString text = QString::fromStdString(*note);
    qsizetype lineStart = 0;
    int lineCount = 0;
    for (;;) {
      const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'), lineStart);
      if (lineCount < kNoteLinesShown) {
        lines << shortened(QStringView(text).sliced(lineStart, (lineEnd < 0 ? text.size() : lineEnd) - lineStart));
      }
      ++lineCount;
      if (lineEnd < 0) break;
      lineStart = lineEnd + 1;
    }
    if (lineCount > kNoteLinesShown) lines << QStringLiteral("ほか %1 行").arg(lineCount - kNoteLinesShown);
  }
  return lines.join(QLatin1Char('\n'));
}

QString asShownRichText(const QString& plain) {
  return QStringLiteral("<p style='white-space:pre'>") + plain.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")) +
         QStringLiteral("</p>");
}

}  // namespace hiduke
