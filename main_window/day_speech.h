#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <functional>

#include "month_model/month_grid.h"

class QWidget;

namespace hiduke {

class DayCell;

// What is seen and heard of a day: its name and description for a screen
// reader, which hears them one after the other, so the description does
// not say the date again; and its tooltip. All empty for a hidden cell.
struct DayWords {
  QString name;
  QString description;
  QString tooltip;
};

// What a screen reader is told of the days. Every name or description set
// is told as a change, the same text too, so only what changes is set. A
// day the focus is leaving in a change of month keeps its words until it
// has left: a screen reader would hear them change to another month's day
// first.
class DaySpeech : public QObject {
  Q_OBJECT

 public:
  using Cells = std::array<DayCell*, kCellCount>;
  DaySpeech(const Cells& cells, std::function<DayWords(int index)> wordsOf, QObject* parent);

  // Every day described anew, but for one whose words are held.
  void describeAll();
  // Holds the words of the cell with the focus, if any, while its month changes.
  void holdWordsOf(QWidget* leaving);
  // Describes the held cell again, as its new day.
  void releaseHeldWords();
  // The focus moved to `cell`, which already had it and now stands for
  // another day, or is come back to: heard as a new focus all the same.
  void refocus(DayCell* cell);
  // Tells `text` on the cell: shown beside it, and said.
  void say(DayCell* cell, const QString& text);

 private:
  void describe(int index);
  int indexOf(const QWidget* cell) const;

  const Cells& cells_;
  std::function<DayWords(int)> wordsOf_;
  const QWidget* held_ = nullptr;  // a day the focus is leaving, described once it has left
};

}  // namespace hiduke
