#pragma once

#include <QPlainTextEdit>

namespace hiduke {

// The note box. A line of many thousand characters (an old file may hold
// one) would take the box minutes to wrap as one paragraph, so it is shown
// in pieces, each a paragraph of its own that starts with an invisible mark
// saying it continues the line before it. The marks are characters, so
// editing and undo carry them along; the note read back from the box joins
// the pieces again and saves back exactly, and what leaves through the
// clipboard or a drag is the text as stored, without marks or added breaks.
class NoteBox : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit NoteBox(QWidget* parent = nullptr);

  void setNote(const QString& note);
  // The note as typed: text that an input method still composes is not in
  // it until finishComposition().
  QString note() const;

  // Whether an input method is composing text in the box (あした shown
  // underlined, not yet converted).
  bool isComposing() const { return !composing_.isEmpty(); }
  // Makes the text being composed part of the note, as the person sees it:
  // the input method is asked to commit it, and where it drops it instead,
  // the box keeps what it showed.
  void finishComposition();

 protected:
  QMimeData* createMimeDataFromSelection() const override;
  void inputMethodEvent(QInputMethodEvent* event) override;

 private:
  bool pieced_ = false;
  QString composing_;  // the input method's text not yet committed
};

}  // namespace hiduke
