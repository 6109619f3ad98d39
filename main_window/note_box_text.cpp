#include "main_window/note_box_text.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace hiduke {
namespace {

constexpr qsizetype kPieceLength = 16384;
constexpr int kContinuesLine = 1;  // block state of a piece after a line's first

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
  if (!HasLongLine(note)) {
    box->setPlainText(note);
    return;
  }
  QTextDocument* document = box->document();
  document->setUndoRedoEnabled(false);
  document->clear();
  QTextCursor cursor(document);
  bool firstBlock = true;
  for (const QStringView line : QStringView(note).split(QLatin1Char('\n'))) {
    for (qsizetype at = 0; at == 0 || at < line.size(); at += kPieceLength) {
      if (!firstBlock) cursor.insertBlock();
      firstBlock = false;
      cursor.insertText(line.mid(at, kPieceLength).toString());
      if (at != 0) cursor.block().setUserState(kContinuesLine);
    }
  }
  document->setUndoRedoEnabled(true);
  box->moveCursor(QTextCursor::Start);
}

QString NoteBoxText(const QPlainTextEdit* box) {
  const QTextDocument* document = box->document();
  QString note;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    if (block != document->begin() && block.userState() != kContinuesLine) note += QLatin1Char('\n');
    note += block.text();
  }
  // As QTextDocument::toPlainText gives it: Shift+Return's line separator
  // is a line break too.
  note.replace(QChar::Nbsp, QLatin1Char(' '));
  note.replace(QChar::LineSeparator, QLatin1Char('\n'));
  note.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  return note;
}

}  // namespace hiduke
