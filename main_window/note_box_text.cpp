#include "main_window/note_box_text.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <vector>

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
  // The pieces go in as paragraphs of one plain text, which the box lays out
  // only as they come into view, and are then marked.
  QString pieced;
  pieced.reserve(note.size() + note.size() / kPieceLength + 1);
  std::vector<bool> continues;
  for (const QStringView line : QStringView(note).split(QLatin1Char('\n'))) {
    for (qsizetype at = 0; at == 0 || at < line.size(); at += kPieceLength) {
      if (!continues.empty()) pieced += QLatin1Char('\n');
      pieced += line.mid(at, kPieceLength);
      continues.push_back(at != 0);
    }
  }
  box->setPlainText(pieced);
  QTextBlock block = box->document()->begin();
  for (const bool piece : continues) {
    if (piece) block.setUserState(kContinuesLine);
    block = block.next();
  }
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
