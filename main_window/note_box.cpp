#include "main_window/note_box.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QMimeData>

namespace hiduke {
namespace {

constexpr qsizetype kPieceLength = 16384;
// ZERO WIDTH SPACE, which code page 932 cannot store, so no saved note
// holds one of its own.
constexpr QChar kContinuesLine(0x200B);

bool hasLongLine(const QString& note) {
  qsizetype lineStart = 0;
  for (;;) {
    const qsizetype lineEnd = note.indexOf(QLatin1Char('\n'), lineStart);
    if ((lineEnd < 0 ? note.size() : lineEnd) - lineStart > kPieceLength) return true;
    if (lineEnd < 0) return false;
    lineStart = lineEnd + 1;
  }
}

// The pieces joined again, and a mark whose line break was deleted dropped.
QString joined(QString text) {
  text.replace(QStringLiteral("\n") + kContinuesLine, QString());
  text.remove(kContinuesLine);
  return text;
}

}  // namespace

NoteBox::NoteBox(QWidget* parent) : QPlainTextEdit(parent) {}

void NoteBox::setNote(const QString& note) {
  pieced_ = hasLongLine(note);
  if (!pieced_) {
    setPlainText(note);
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
  setPlainText(pieces);
}

QString NoteBox::note() const { return pieced_ ? joined(toPlainText()) : toPlainText(); }

void NoteBox::inputMethodEvent(QInputMethodEvent* event) {
  composing_ = event->preeditString();
  QPlainTextEdit::inputMethodEvent(event);
}

void NoteBox::finishComposition() {
  if (!isComposing()) return;
  const QString shown = composing_;
  if (hasFocus()) {
    // fcitx5 commits on reset(), IBus on commit(); either clears its own
    // composition, so that nothing of it reaches the next day's note.
    QGuiApplication::inputMethod()->commit();
    if (isComposing()) QGuiApplication::inputMethod()->reset();
  }
  if (!isComposing()) return;
  QInputMethodEvent commit;
  commit.setCommitString(shown);
  inputMethodEvent(&commit);
}

QMimeData* NoteBox::createMimeDataFromSelection() const {
  // Plain text only: the note's own characters, as it is stored.
  QString text = textCursor().selectedText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  auto* data = new QMimeData;
  data->setText(pieced_ ? joined(text) : text);
  return data;
}

}  // namespace hiduke
