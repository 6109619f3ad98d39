#include "main_window/import_messages.h"

#include <QStringList>

#include "main_window/day_description.h"
#include "main_window/store_messages.h"

namespace hiduke {

QString eventLeftOutText(const UnreadableEvent& event) {
  QStringList parts;
  switch (event.problem) {
    case EventProblem::kNone:
      break;
    case EventProblem::kTooManyLines:
      parts << QStringLiteral("書き込む行が %1 を超えるため、読み込みません。").arg(kMaxLinesOfOneEvent);
      break;
    case EventProblem::kNoStart:
      parts << QStringLiteral("始まりの日時が読めないため、読み込みません。");
      break;
    case EventProblem::kUnreadable:
      parts << QStringLiteral("予定として読めないため、読み込みません。");
      break;
    case EventProblem::kNotUtf8:
      parts << QStringLiteral("文字が UTF-8 で書かれていないため、読み込みません。");
      break;
    case EventProblem::kUnknownTimeZone:
      parts << QStringLiteral("時間帯が分からないため、書かれた時刻のまま読み込みます。");
      break;
    case EventProblem::kCutShort:
      parts << QStringLiteral("ファイルが途中で終わっているため、読み込みません。");
      break;
  }
  if (!event.characters.empty()) {
    QString characters = QStringLiteral("保存できない文字を省きます:");
    for (const std::string& character : event.characters) {
      characters += QLatin1Char(' ') + characterText(QString::fromStdString(character));
    }
    parts << characters;
  }
  return parts.join(QLatin1Char(' '));
}

QString unreadableEventText(const UnreadableEvent& event) {
  QString text = event.start.ok() ? dateText(event.start) : QString();
  text += QStringLiteral("「%1」").arg(QString::fromStdString(event.summary));
  const QString leftOut = eventLeftOutText(event);
  return leftOut.isEmpty() ? text : text + QLatin1Char(' ') + leftOut;
}

QString importPlanSummary(const ImportPlan& plan) {
  QString summary = QStringLiteral("予定 %1 件を読みました。\n").arg(plan.events);
  summary += QStringLiteral("新しい日: %1 日\n書き足す日: %2 日\n変わらない日: %3 日\n")
                 .arg(plan.newDays)
                 .arg(plan.addedToDays)
                 .arg(plan.unchangedDays);
  summary += QStringLiteral("読めなかった予定: %1 件\n").arg(plan.unreadable.size());
  for (const UnreadableEvent& event : plan.unreadable) summary += QStringLiteral("  ") + unreadableEventText(event) + QLatin1Char('\n');
  return summary;
}

QString importResult(const BatchReport& report) {
  return QStringLiteral("%1 日の予定を書き込みました。\n").arg(report.saved);
}

QString importAnnouncement(const BatchReport& report) { return QStringLiteral("%1日分の予定を読み込みました").arg(report.saved); }

QString importSummary(const BatchReport& report, const ImportPlan& plan) {
  QString summary = importAnnouncement(report) + QStringLiteral("。");
  if (!plan.unreadable.empty()) {
    summary += QStringLiteral("読み込めない予定が %1 件ありました（読み込めない部分は除いています）。").arg(plan.unreadable.size());
  }
  return summary;
}

}  // namespace hiduke
