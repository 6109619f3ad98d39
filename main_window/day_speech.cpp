#include "main_window/day_speech.h"

#include <QAccessible>
#include <QToolTip>
#include <algorithm>
#include <utility>

#include "main_window/day_cell.h"
#include "main_window/day_description.h"
#include "main_window/screen_reader.h"

namespace hiduke {

DaySpeech::DaySpeech(const Cells& cells, std::function<DayWords(int index)> wordsOf, QObject* parent)
    : QObject(parent), cells_(cells), wordsOf_(std::move(wordsOf)) {}

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
  const DayWords words = wordsOf_(index);
  if (cell->accessibleName() != words.name) cell->setAccessibleName(words.name);
  if (cell->accessibleDescription() != words.description) cell->setAccessibleDescription(words.description);
  cell->setToolTip(words.tooltip.isEmpty() ? QString() : asShownRichText(words.tooltip));
}

void DaySpeech::holdWordsOf(QWidget* leaving) { held_ = leaving; }

void DaySpeech::releaseHeldWords() {
  if (const QWidget* left = std::exchange(held_, nullptr)) describe(indexOf(left));
}

void DaySpeech::refocus(DayCell* cell) {
  held_ = nullptr;
  describe(indexOf(cell));
  cell->update();
  QAccessibleEvent event(cell, QAccessible::Focus);
  QAccessible::updateAccessibility(&event);
}

void DaySpeech::say(DayCell* cell, const QString& text) {
  QToolTip::showText(cell->mapToGlobal(cell->rect().bottomLeft()), text, cell);
  announce(cell, text);
}

}  // namespace hiduke
