#include "main_window/note_box_text.h"

#include <QPlainTextEdit>
#include <QVariant>

namespace hiduke {
namespace {

constexpr qsizetype kPieceLength = 16384;
// ZERO WIDTH SPACE, which code page 932 cannot store, so no saved note
// holds one of its own.
constexpr QChar kContinuesLine(0x200B);
constexpr char kPiecedProperty[] = "hidukePiecedNote";

bool HasLongLine(const QString& note) {
  qsizetype lineStart = 0;
  for (;;) {
    const qsizetype lineEnd = note.indexOf(QLatin1Char('\n'), lineStart);
    if ((lineEnd < 0 ? note.size() : lineEnd) - lineStart > kPieceLength) return true;
    if (lineEnd < 0) return false;
    lineStart = lineEnd + 1;
  }
}

}  // namespace

void SetNoteBoxText(QPlainTextEdit* box, const QString& note) {
  const bool pieced = HasLongLine(note);
  box->setProperty(kPiecedProperty, pieced);
  if (!pieced) {
    box->setPlainText(note);
    return;
  }
  // One plain text, which the box lays out a paragraph at a time as it comes
  // into view.
  QString pieces;
  pieces.reserve(note.size() + 2 * (note.size() / kPieceLength + 1));
  bool firstLine = true;
  for (const QStringView line : QStringView(note).split(QLatin1Char('\n'))) {
    if (!firstLine) pieces += QLatin1Char('\n');
    firstLine = false;
    for (qsizetype at = 0; at == 0 || at < line.size(); at += kPieceLength) {
      if (at != 0) pieces += QLatin1Char('\n') + kContinuesLine;
      pieces += line.mid(at, kPieceLength);
    }
  }
  box->setPlainText(pieces);
}

QString NoteBoxText(const QPlainTextEdit* box) {
  QString note = box->toPlainText();
  if (box->property(kPiecedProperty).toBool()) {
    note.replace(QStringLiteral("\n") + kContinuesLine, QString());
    note.remove(kContinuesLine);  // a mark whose line break was deleted
  }
  return note;
}

}  // namespace hiduke
