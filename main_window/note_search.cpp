#include "main_window/note_search.h"

#include <QStringDecoder>
#include <algorithm>
#include <string_view>

#include "note_store/huge_pages.h"

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
    // Kana and kanji, most of a Japanese note: none changes (the kana with
    // a voiced mark are composed already).
    if ((code >= 0x3041 && code <= 0x3096) || (code >= 0x30A1 && code <= 0x30FA) || code == 0x30FC ||
        (code >= 0x4E00 && code <= 0x9FFF)) {
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

NoteSearch::NoteSearch(AllNotes notes) : notes_(std::move(notes)) {
  // Decoded straight into the folded text, without a string for each note
  // (a UTF-8 byte makes at most one UTF-16 unit); a note that folding
  // changes is put there again, folded, which may take more room.
  qsizetype bytes = 0;
  for (const DatedNote& note : notes_.notes) bytes += static_cast<qsizetype>(note.text.size()) + 1;
  folded_.resize(bytes);
  adviseHugePages(folded_.data(), static_cast<size_t>(bytes) * sizeof(QChar));
  starts_.reserve(notes_.notes.size() + 1);
  QStringDecoder decoder(QStringDecoder::Utf8);
  qsizetype at = 0;
  for (const DatedNote& note : notes_.notes) {
    const auto size = static_cast<qsizetype>(note.text.size());
    if (folded_.size() < at + size + 1) folded_.resize(at + size + 1 + folded_.size() / 2);
    starts_.push_back(at);
    QChar* const start = folded_.data() + at;
    qsizetype end = decoder.appendToBuffer(start, QByteArrayView(note.text.data(), size)) - folded_.data();
    if (const QStringView text(start, end - at); mayChangeWhenFolded(text)) {
      const QString changed = folded(text);
      if (folded_.size() < at + changed.size() + 1) folded_.resize(at + changed.size() + 1 + folded_.size() / 2);
      std::copy(changed.begin(), changed.end(), folded_.data() + at);
      end = at + changed.size();
    }
    folded_[end] = QLatin1Char('\n');
    at = end + 1;
  }
  folded_.truncate(at);
  starts_.push_back(folded_.size());
}

NoteSearch::Result NoteSearch::find(const QString& query, std::size_t limit) const {
  Result result;
  const QString needle = folded(query);
  if (needle.isEmpty() || needle.contains(QLatin1Char('\n'))) return result;
  // The notes hit and where each is first hit, oldest first as they lie in
  // the text.
  struct Hit {
    std::size_t note;
    qsizetype at;
  };
  std::vector<Hit> hits;
  for (qsizetype at = folded_.indexOf(needle); at >= 0;) {
    const auto note = static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), at) - starts_.begin()) - 1;
    hits.push_back({note, at});
    at = folded_.indexOf(needle, starts_[note + 1]);
  }
  result.total = hits.size();
  for (auto hit = hits.rbegin(); hit != hits.rend() && result.matches.size() < limit; ++hit) {
    // Folding keeps the line breaks: the hit's line is the same line of the
    // note as written.
    const auto lineIndex = QStringView(folded_).sliced(starts_[hit->note], hit->at - starts_[hit->note]).count(QLatin1Char('\n'));
    const DatedNote& dated = notes_.notes[hit->note];
    std::string_view line = dated.text;
    for (qsizetype skipped = 0; skipped < lineIndex; ++skipped) line.remove_prefix(line.find('\n') + 1);
    line = line.substr(0, line.find('\n'));
    result.matches.push_back({dated.date, QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()))});
  }
  return result;
}

NoteSearch::Result NoteSearch::upcoming(std::chrono::year_month_day from, std::size_t limit) const {
  const std::vector<DatedNote>& notes = notes_.notes;  // in date order
  const auto first = std::lower_bound(notes.begin(), notes.end(), from,
                                      [](const DatedNote& note, std::chrono::year_month_day day) { return note.date < day; });
  Result result{.matches = {}, .total = static_cast<std::size_t>(notes.end() - first)};
  for (auto note = first; note != notes.end() && result.matches.size() < limit; ++note) {
    const std::string_view line = note->text.substr(0, note->text.find('\n'));
    result.matches.push_back({note->date, QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()))});
  }
  return result;
}

}  // namespace hiduke
