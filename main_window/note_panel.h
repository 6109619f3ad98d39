#pragma once

#include <QObject>
#include <optional>
#include <string>

#include "note_store/note_store.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace hiduke {

// The note panel on the right of the window: the heading that names the
// day, the box with its note, 更新・削除 and 閉じる. It reads and stores the
// note of the day it was opened for and never drops typed text without
// asking; the window widens and narrows for it.
class NotePanel : public QObject {
  Q_OBJECT

 public:
  NotePanel(QWidget* window, NoteStore& notes);

  bool isOpen() const;
  const NoteDate& day() const { return day_; }
  // The panel's widgets in their focus order.
  QList<QWidget*> focusChain() const;
  bool hasFocus() const;

  // Shows the panel for `day` with its note, the cursor in the box. Call
  // settleUnsavedNote() first.
  void open(const NoteDate& day);
  // Whether the box's text may be left: it is unchanged, or the user saved
  // it (successfully) or chose to discard it.
  bool settleUnsavedNote();
  // Saves the box's text, or deletes the note when the box is empty.
  void saveOrDelete();
  // 閉じる: asks about unsaved text, then hides the panel.
  void requestClose();
  // The note file changed on disk: a note the user has not touched follows it.
  void followNoteFile();

 signals:
  void opened();
  void closed(bool hadFocus);
  void noteStored(const NoteDate& day, bool hasNote);

 private:
  void load();
  bool hasUnsavedNote() const;
  // Whether the note on disk is still the one opened; asks what to do when
  // it changed. Returns false when the save should not go ahead.
  bool confirmOverwrite();
  bool store(const std::string& note);
  void announce(const QString& text);
  void close();

  QWidget* window_;
  NoteStore& notes_;
  NoteDate day_{};
  std::optional<std::string> noteOnDisk_;  // the day's note as the file held it when last read or stored
  QString textAsStored_;                   // the box's text as loaded or last stored
  bool storing_ = false;                   // a save or delete is under way, perhaps waiting for the file

  QLabel* heading_ = nullptr;
  QPlainTextEdit* edit_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QPushButton* closeButton_ = nullptr;
};

}  // namespace hiduke
