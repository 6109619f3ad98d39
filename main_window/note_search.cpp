#include "main_window/note_search.h"

#include <QStringList>
#include <algorithm>

namespace hiduke {

QString NoteSearch::folded(const QString& text) {
  return text.normalized(QString::NormalizationForm_KC).toCaseFolded();
}

NoteSearch::NoteSearch(const AllNotes& notes) {
  dates_.reserve(notes.notes.size());
  texts_.reserve(notes.notes.size());
  starts_.reserve(notes.notes.size());
  for (const DatedNote& note : notes.notes) {
    dates_.push_back(note.date);
    texts_.push_back(QString::fromStdString(note.text));
    starts_.push_back(folded_.size());
    folded_ += folded(texts_.back());
    folded_ += QLatin1Char('\n');
  }
}

NoteSearch::Result NoteSearch::find(const QString& query, std::size_t limit) const {
  Result result;
  const QString needle = folded(query);
  if (needle.isEmpty() || needle.contains(QLatin1Char('\n'))) return result;
  // The notes hit, oldest first as they lie in the text.
  std::vector<std::size_t> hits;
  for (qsizetype at = folded_.indexOf(needle); at >= 0;) {
    const auto note = static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), at) - starts_.begin()) - 1;
    hits.push_back(note);
    const qsizetype next = note + 1 < starts_.size() ? starts_[note + 1] : folded_.size();
    at = folded_.indexOf(needle, next);
  }
  result.total = hits.size();
  for (auto note = hits.rbegin(); note != hits.rend() && result.matches.size() < limit; ++note) {
    const QStringList lines = texts_[*note].split(QLatin1Char('\n'));
    const auto line = std::find_if(lines.begin(), lines.end(), [&](const QString& l) { return folded(l).contains(needle); });
    result.matches.push_back({dates_[*note], line != lines.end() ? *line : lines.front()});
  }
  return result;
}

}  // namespace hiduke
