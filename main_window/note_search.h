#pragma once

#include <QString>
#include <chrono>
#include <vector>

#include "note_store/note_store.h"

namespace hiduke {

// Every note, ready to be searched as the user types: read once, folded
// once. A search ignores case and the difference between full and half
// width (NFKC): ＡＢＣ finds abc, ｶﾞ finds ガ.
class NoteSearch {
 public:
  explicit NoteSearch(AllNotes notes);

  struct Match {
    std::chrono::year_month_day date;
    QString line;  // the note's first line that matches, as written
  };

  // The notes that hold `query`, newest first, at most `limit` of them; and
  // how many there are in all.
  struct Result {
    std::vector<Match> matches;
    std::size_t total = 0;
  };
  Result find(const QString& query, std::size_t limit) const;
  // The notes from `from` on, nearest first, each by its first line; at
  // most `limit` of them, and how many there are in all.
  Result upcoming(std::chrono::year_month_day from, std::size_t limit) const;

  // Text as it is compared.
  static QString folded(QStringView text);

 private:
  AllNotes notes_;
  // Every note folded, one after another, each ended by a line feed (no
  // query holds one), and where each begins.
  QString folded_;
  std::vector<qsizetype> starts_;
};

}  // namespace hiduke
