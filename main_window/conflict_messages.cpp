#include "main_window/conflict_messages.h"

#include <QStringList>

#include "main_window/day_description.h"

namespace hiduke {

namespace {

// The most days a summary names one by one.
constexpr std::size_t kDaysNamed = 10;

}  // namespace

QString conflictOfferText(const ConflictPlan& plan) {
  const qsizetype pieces = static_cast<qsizetype>(plan.copies.size()) + 1;
  if (plan.merge.differingDays == 0) {
    return QStringLiteral("別の端末との同期で予定のファイルが%1つに分かれました（異なる予定はありません）。").arg(pieces);
  }
  return QStringLiteral("別の端末との同期で予定のファイルが%1つに分かれました（%2日分が異なります）。")
      .arg(pieces)
      .arg(plan.merge.differingDays);
}

QString conflictMergeSummary(const ConflictMergeReport& report) {
  const ConflictMerge& merge = report.plan.merge;
  QString summary = QStringLiteral("予定のファイルをまとめました（%1日分を取り込み、分かれたファイルを%2つ削除しました）。")
                        .arg(merge.changedDays)
                        .arg(report.removed);
  if (!merge.emptyCopies.empty()) {
    summary += QStringLiteral("%1つには新しい内容がありませんでした。").arg(merge.emptyCopies.size());
  }
  if (report.removed < report.plan.copies.size()) {
    summary += QStringLiteral("%1つは読んだ後に変わったため、残しました。").arg(report.plan.copies.size() - report.removed);
  }
  if (merge.conflicts.empty()) return summary;
  QStringList days;
  for (std::size_t i = 0; i < merge.conflicts.size() && i < kDaysNamed; ++i) days << dateText(merge.conflicts[i]);
  if (merge.conflicts.size() > kDaysNamed) days << QStringLiteral("ほか%1日").arg(merge.conflicts.size() - kDaysNamed);
  return summary + QStringLiteral("次の日は両方の端末の内容を残しました。どちらかに直してください: ") +
         days.join(QStringLiteral("、"));
}

}  // namespace hiduke
