#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "main_window/keyboard_focus.h"
#include "note_store/note_store.h"

class QLabel;
class QPushButton;
class QTextCursor;

namespace hiduke {

class NoteBook;
class NoteBox;

// The note panel on the right of the window: the heading that names the
// day, the box with its note, 更新・削除 and 閉じる, shown and hidden as one.
// It stores the note of the day it was opened for and never drops typed
// text without asking; the window widens and narrows for it.
class NotePanel : public RingedWidget {
  Q_OBJECT

 public:
  NotePanel(NoteBook& book, QWidget* parent = nullptr);

  // Lays the panel out at `zoom` percent of its design size.
  void setZoom(int zoom);

  bool isOpen() const;
  std::optional<std::chrono::year_month_day> day() const { return day_; }
  // The panel's widgets in their focus order.
  QList<QWidget*> focusChain() const;

  // Shows the panel for `day` with `note`, the day's note as last read, the
  // cursor in the box. Call settleUnsavedNote() first.
  void open(std::chrono::year_month_day day, const std::optional<std::string>& note);
  // Whether the box's text may be left: it is unchanged, or the user saved
  // it (successfully) or chose to discard it.
  bool settleUnsavedNote();
  // Saves the box's text, or deletes the note when the box is empty.
  void saveOrDelete();
  // 元に戻す: after a delete, or a save that replaced a note, puts the
  // previous note back through a normal save; once. False when there is
  // nothing to take back.
  bool undoStore();
  // 閉じる: asks about unsaved text, then hides the panel.
  void requestClose();
  // Where a change of the note file came from.
  enum class ChangedBy { kOtherProgram, kConflictsMerged, kImported };
  // The note file changed and holds `note` for the day: a note the user has
  // not touched follows it. Text the user typed, or saved just before
  // another program replaced or removed it, stays in the box as unsaved,
  // and the panel says so, naming the change (another device's, or the
  // user's own import). A merge or an import keeps every line of the note,
  // so a note just saved follows it.
  void followNoteFile(const std::optional<std::string>& note, ChangedBy changedBy = ChangedBy::kOtherProgram);

 signals:
  void opened(std::chrono::year_month_day day);
  // The panel is closing, just before it hides; hadFocus: the keyboard was
  // in it.
  void closed(bool hadFocus);
  void undoAvailable(bool available);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void showNote(const std::optional<std::string>& note);
  void setUndoNote(std::optional<std::string> note);
  // What the last save did, shown beside the buttons and told to a screen
  // reader; empty once the text changes.
  void tell(const QString& text);
  bool hasUnsavedNote() const;
  // Saves or deletes what the box holds, saying so (or `said`); false when
  // nothing was stored.
  bool store(const QString& said = QString());
  StoreResult<SaveReport> write(const std::string& note, const ExpectedNote& before);
  // Another program changed the day's note since it was read: the user
  // chooses; true to overwrite it.
  bool confirmOverwrite();
  // The box holds a typed ";", which the file cannot keep as itself: true
  // once the user chose to store it as the full-width "；".
  bool replaceSemicolons();
  void returnToTyping(const QTextCursor& cursor);
  void closePanel();

  NoteBook& book_;
  std::optional<std::chrono::year_month_day> day_;
  std::optional<std::string> noteOnDisk_;  // the day's note as the file held it when last read or stored
  QString textAsStored_;                   // the box's text as shown or last stored
  std::optional<std::string> undoNote_;     // the note the last delete or save replaced
  bool storing_ = false;                   // a save or delete is under way, perhaps waiting for the file
  bool justStored_ = false;                // the box shows what was stored last, since the day was shown
  std::optional<std::string> toldOnDisk_;  // the day's note on disk that the user was last told of

  QLabel* heading_ = nullptr;
  NoteBox* box_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QPushButton* closeButton_ = nullptr;
  QLabel* status_ = nullptr;
};

}  // namespace hiduke
