#include "main_window/day_speech.h"

#include <QAccessible>
#include <QApplication>
#include <QToolTip>
#include <algorithm>
#include <utility>

#include "main_window/day_cell.h"
#include "main_window/day_description.h"
#include "main_window/screen_reader.h"

namespace hiduke {

DaySpeech::DaySpeech(const Cells& cells, std::function<DayWords(int index)> wordsOf, QObject* parent)
    : QObject(parent), cells_(cells), wordsOf_(std::move(wordsOf)) {
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old) {
    // What was said on a day is gone once the focus leaves it; after the
    // new focus is announced, so that it is not heard on the day left.
    if (old != nullptr && old == saidCell_) QMetaObject::invokeMethod(this, &DaySpeech::unsay, Qt::QueuedConnection);
  });
}

int DaySpeech::indexOf(const QWidget* cell) const {
  return static_cast<int>(std::find(cells_.begin(), cells_.end(), cell) - cells_.begin());
}

void DaySpeech::describeAll() {
  for (int index = 0; index < kCellCount; ++index) {
    if (cells_[index] != held_) describe(index);
  }
}

void DaySpeech::describe(int index) {
  DayCell* cell = cells_[index];
  if (cell == saidCell_) saidCell_ = nullptr;
  const DayWords words = wordsOf_(index);
  if (cell->accessibleName() != words.name) cell->setAccessibleName(words.name);
  if (cell->accessibleDescription() != words.description) cell->setAccessibleDescription(words.description);
  cell->setToolTip(words.description.isEmpty() ? QString() : asShownRichText(words.description));
}

void DaySpeech::holdWordsOf(QWidget* leaving) { held_ = leaving; }

void DaySpeech::releaseHeldWords() {
  if (const QWidget* left = std::exchange(held_, nullptr)) describe(indexOf(left));
}

void DaySpeech::refocus(DayCell* cell) {
  held_ = nullptr;
  unsay();
  describe(indexOf(cell));
  cell->update();
  QAccessibleEvent event(cell, QAccessible::Focus);
  QAccessible::updateAccessibility(&event);
}

void DaySpeech::say(DayCell* cell, const QString& text) {
  QToolTip::showText(cell->mapToGlobal(cell->rect().bottomLeft()), text, cell);
  saidCell_ = cell;
  announce(cell, text);
}

void DaySpeech::unsay() {
  if (saidCell_ != nullptr) describe(indexOf(saidCell_));
}

}  // namespace hiduke
