#include "main_window/note_search.h"

#include <QStringDecoder>
#include <QStringList>
#include <algorithm>

namespace hiduke {

namespace {

// Whether NFKC and case folding might change `text`. Most notes hold
// nothing they would change, and are then compared as they are, which
// spares a copy of each: letters with case, compatibility characters (full
// and half width), combining marks and characters that decompose, but for
// the composed kana, which stay as they are.
bool mayChangeWhenFolded(QStringView text) {
  for (const QChar c : text) {
    const char16_t code = c.unicode();
    if (code < 0x80) {
      if (code >= 'A' && code <= 'Z') return true;
      continue;
    }
    if (c.isSurrogate() || c.combiningClass() != 0 || c.toCaseFolded() != c) return true;
    const QChar::Decomposition tag = c.decompositionTag();
    const bool composedKana = tag == QChar::Canonical && code >= 0x3040 && code <= 0x30FF;
    if (tag != QChar::NoDecomposition && !composedKana) return true;
    if ((code >= 0x1100 && code <= 0x11FF) || (code >= 0xA960 && code <= 0xA97F) || (code >= 0xD7B0 && code <= 0xD7FF)) {
      return true;  // Hangul jamo, which compose without a mark of it
    }
  }
  return false;
}

}  // namespace

QString NoteSearch::folded(QStringView text) {
  return text.toString().normalized(QString::NormalizationForm_KC).toCaseFolded();
}

NoteSearch::NoteSearch(const AllNotes& notes) {
  dates_.reserve(notes.notes.size());
  textStarts_.reserve(notes.notes.size() + 1);
  starts_.reserve(notes.notes.size() + 1);
  // All the notes decoded into one string, without a string for each.
  qsizetype bytes = 0;
  for (const DatedNote& note : notes.notes) bytes += static_cast<qsizetype>(note.text.size()) + 1;
  texts_.resize(bytes);
  QStringDecoder decoder(QStringDecoder::Utf8);
  QChar* out = texts_.data();
  for (const DatedNote& note : notes.notes) {
    dates_.push_back(note.date);
    textStarts_.push_back(out - texts_.data());
    out = decoder.appendToBuffer(out, QByteArrayView(note.text.data(), static_cast<qsizetype>(note.text.size())));
    *out++ = QLatin1Char('\n');
  }
  texts_.truncate(out - texts_.data());
  textStarts_.push_back(texts_.size());
  folded_.reserve(texts_.size());
  for (std::size_t note = 0; note < dates_.size(); ++note) {
    const QStringView text = textOf(note);
    starts_.push_back(folded_.size());
    if (mayChangeWhenFolded(text)) {
      folded_ += folded(text);
    } else {
      folded_ += text;
    }
    folded_ += QLatin1Char('\n');
  }
  starts_.push_back(folded_.size());
}

QStringView NoteSearch::textOf(std::size_t note) const {
  return QStringView(texts_).sliced(textStarts_[note], textStarts_[note + 1] - textStarts_[note] - 1);
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
    at = folded_.indexOf(needle, starts_[note + 1]);
  }
  result.total = hits.size();
  for (auto note = hits.rbegin(); note != hits.rend() && result.matches.size() < limit; ++note) {
    const QList<QStringView> lines = textOf(*note).split(QLatin1Char('\n'));
    const auto line = std::find_if(lines.begin(), lines.end(), [&](QStringView l) { return folded(l).contains(needle); });
    result.matches.push_back({dates_[*note], (line != lines.end() ? *line : lines.front()).toString()});
  }
  return result;
}

}  // namespace hiduke
