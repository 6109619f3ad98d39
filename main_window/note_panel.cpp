#include "main_window/note_panel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTextCursor>
#include <utility>

#include "main_window/day_description.h"
#include "main_window/design_fonts.h"
#include "main_window/layout_twips.h"
#include "main_window/note_book.h"
#include "main_window/note_box.h"
#include "main_window/screen_reader.h"
#include "main_window/window_look.h"
#include "month_model/colour_contrast.h"

namespace hiduke {
namespace {

// The panel takes the window's right part; its parts are placed in the
// window's twips less its left edge.
QRect panelRect(const QRect& twips, int zoom) {
  return twipsRect(twips, zoom).translated(-twipsToPixels(layout::kPanelLeft, zoom), 0);
}

}  // namespace

NotePanel::NotePanel(NoteBook& book, QWidget* parent) : RingedWidget(parent), book_(book) {
  setObjectName(QStringLiteral("notePanel"));

  box_ = new NoteBox(this);
  box_->setObjectName(QStringLiteral("noteEdit"));
  box_->setTabChangesFocus(true);  // Tab moves on to the buttons, as in any form
  box_->setAccessibleName(QStringLiteral("予定"));
  // What was said of the last save is gone once the text changes.
  connect(box_, &QPlainTextEdit::textChanged, this, [this] { tell(QString()); });
  // Ctrl+Z in a box untouched since a delete or a save over a note takes
  // that back; once typing starts, it undoes the typing.
  box_->installEventFilter(this);

  saveButton_ = makeButton(this, "saveButton", QStringLiteral("更新・削除"));
  closeButton_ = makeButton(this, "closeButton", QStringLiteral("閉じる"));
  connect(saveButton_, &QPushButton::clicked, this, &NotePanel::saveOrDelete);
  connect(closeButton_, &QPushButton::clicked, this, &NotePanel::requestClose);
  setRinged({saveButton_, closeButton_});

  heading_ = new QLabel(this);
  heading_->setObjectName(QStringLiteral("noteHeading"));
  heading_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  heading_->setAutoFillBackground(true);
  // The heading's white text on the button face, darkened as far as the
  // face needs for it to be read.
  const QColor face = QApplication::palette().color(QPalette::Button);
  setTextColour(heading_, toQColor(legibleTextColour(kWeekdayColour, toRgb(face))));
  setBackColour(heading_, face);

  // What the last save did, beside the buttons: the day's white on the
  // black window.
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("saveStatus"));
  status_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  setTextColour(status_, toQColor(kWeekdayColour));

  setZoom(100);
  hide();  // until a day is opened
}

void NotePanel::setZoom(int zoom) {
  setGeometry(twipsRect(layout::kPanelLeft, 0, layout::kWideClientWidth - layout::kPanelLeft, layout::kClientHeight,
                        zoom));
  box_->setGeometry(panelRect(layout::kNoteBox, zoom));
  saveButton_->setGeometry(panelRect(layout::kSaveButton, zoom));
  closeButton_->setGeometry(panelRect(layout::kCloseButton, zoom));
  heading_->setGeometry(panelRect(layout::kNoteHeading, zoom));
  status_->setGeometry(panelRect(layout::kSaveStatus, zoom));
  heading_->setFont(headingFont(zoom));
  for (QWidget* widget : {static_cast<QWidget*>(box_), static_cast<QWidget*>(saveButton_),
                          static_cast<QWidget*>(closeButton_), static_cast<QWidget*>(status_)}) {
    widget->setFont(textFont(zoom));
  }
}

void NotePanel::tell(const QString& text) {
  status_->setText(text);
  status_->setToolTip(QString());
  announce(box_, text);
}

bool NotePanel::isOpen() const { return isVisibleTo(parentWidget()); }

QList<QWidget*> NotePanel::focusChain() const { return {box_, saveButton_, closeButton_}; }

void NotePanel::open(std::chrono::year_month_day day, const std::optional<std::string>& note) {
  day_ = day;
  heading_->setText(dateText(day) + QStringLiteral("の予定"));
  box_->setAccessibleName(heading_->text());
  show();
  // The focus before the text: a screen reader that hears of the text
  // first moves to the box without a word.
  box_->setFocus();  // typing right away goes into the note
  showNote(note);
  emit opened(day);
}

void NotePanel::showNote(const std::optional<std::string>& note) {
  setUndoNote(std::nullopt);  // a note read anew is not the one saved over
  noteOnDisk_ = note;
  toldOnDisk_ = note;
  justStored_ = false;
  box_->setNote(note ? QString::fromStdString(*note) : QString());
  textAsStored_ = box_->note();
  tell(QString());
}

void NotePanel::saveOrDelete() {
  if (storing_) return;  // pressed again while the save waits for the file
  box_->finishComposition();
  store();
}

bool NotePanel::store(const QString& said) {
  if (box_->note().contains(QLatin1Char(';')) && !replaceSemicolons()) return false;
  const QString text = box_->note();
  const std::string note = text.toStdString();
  StoreResult<SaveReport> stored = write(note, ExpectedNote::exactly(noteOnDisk_));
  bool overwritten = false;
  if (!stored && stored.error().kind == StoreErrorKind::kChangedOnDisk) {
    if (!confirmOverwrite()) return false;
    stored = write(note, ExpectedNote::anything());
    overwritten = true;
  }
  if (!stored) {
    book_.showError(stored.error());
    return false;
  }
  // A delete, or a save over another note, can be taken back once; not
  // over a note this panel never showed.
  const std::optional<std::string> replaced = std::exchange(noteOnDisk_, stored->note);
  setUndoNote(replaced && replaced != noteOnDisk_ && !overwritten ? replaced : std::nullopt);
  textAsStored_ = text;
  toldOnDisk_ = noteOnDisk_;
  justStored_ = true;
  tell(!said.isEmpty() ? said : note.empty() ? QStringLiteral("削除しました") : QStringLiteral("保存しました"));
  return true;
}

void NotePanel::setUndoNote(std::optional<std::string> note) {
  undoNote_ = std::move(note);
  emit undoAvailable(undoNote_.has_value());
}

bool NotePanel::undoStore() {
  if (!undoNote_ || !isOpen() || storing_ || hasUnsavedNote()) return false;
  box_->setNote(QString::fromStdString(*undoNote_));
  // Not saved: the box holds the previous note, or what was read again.
  if (store(QStringLiteral("元に戻しました"))) setUndoNote(std::nullopt);
  return true;
}

StoreResult<SaveReport> NotePanel::write(const std::string& note, const ExpectedNote& before) {
  // What the user does waits for the save, which may wait for the file.
  storing_ = true;
  StoreResult<SaveReport> stored = book_.store(*day_, note, before);
  storing_ = false;
  return stored;
}

bool NotePanel::confirmOverwrite() {
  const QTextCursor cursor = box_->textCursor();
  QMessageBox box(QMessageBox::Warning, QStringLiteral("予定の上書き"),
                  heading_->text() + QStringLiteral("は、開いた後にほかのところで変更されています。"),
                  QMessageBox::NoButton, this);
  QPushButton* overwrite = box.addButton(QStringLiteral("上書き"), QMessageBox::AcceptRole);
  QPushButton* reload = box.addButton(QStringLiteral("読み込み直す"), QMessageBox::ResetRole);
  QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
  box.setDefaultButton(cancel);
  box.setEscapeButton(cancel);
  box.exec();
  if (box.clickedButton() == overwrite) return true;
  if (box.clickedButton() == reload) {
    const StoreResult<std::optional<std::string>> onDisk = book_.readNote(*day_);
    if (onDisk) {
      showNote(*onDisk);
    } else {
      book_.showError(onDisk.error());
    }
  }
  returnToTyping(box.clickedButton() == reload ? box_->textCursor() : cursor);
  return false;
}

bool NotePanel::replaceSemicolons() {
  QTextCursor cursor = box_->textCursor();
  QMessageBox box(QMessageBox::Question, QStringLiteral("「;」の置き換え"),
                  QStringLiteral("予定に半角の「;」があります。「;」は予定のファイルでは改行を表すため、"
                                 "そのままでは保存できません。\n全角の「；」に置き換えて保存しますか？"),
                  QMessageBox::NoButton, this);
  QPushButton* replace = box.addButton(QStringLiteral("「；」に置き換えて保存"), QMessageBox::AcceptRole);
  QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
  box.setDefaultButton(replace);
  box.setEscapeButton(cancel);
  box.exec();
  if (box.clickedButton() != replace) {
    returnToTyping(cursor);
    return false;
  }
  // Each ";" in its place, one undo step, the cursor where it was.
  QTextCursor edit(box_->document());
  edit.beginEditBlock();
  for (QTextCursor found = box_->document()->find(QStringLiteral(";")); !found.isNull();
       found = box_->document()->find(QStringLiteral(";"), found)) {
    found.insertText(QStringLiteral("；"));
  }
  edit.endEditBlock();
  returnToTyping(cursor);
  return true;
}

bool NotePanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == box_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Undo) && undoStore()) {
    return true;
  }
  return RingedWidget::eventFilter(watched, event);
}

void NotePanel::returnToTyping(const QTextCursor& cursor) {
  box_->setFocus();
  box_->setTextCursor(cursor);
}

bool NotePanel::hasUnsavedNote() const {
  return isOpen() && (box_->isComposing() || box_->note() != textAsStored_);
}

bool NotePanel::settleUnsavedNote() {
  if (storing_) return false;  // a close that arrives while a save waits
  box_->finishComposition();
  if (!hasUnsavedNote()) return true;
  const QTextCursor cursor = box_->textCursor();
  QMessageBox box(QMessageBox::Question, QStringLiteral("変更の保存"),
                  heading_->text() + QStringLiteral("は変更されています。\n保存しますか？"),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setDefaultButton(QMessageBox::Save);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Save: return store();
    case QMessageBox::Discard: return true;
    default:
      returnToTyping(cursor);
      return false;
  }
}

void NotePanel::requestClose() {
  if (!storing_ && settleUnsavedNote()) closePanel();
}

void NotePanel::closePanel() {
  const bool hadFocus = isAncestorOf(QApplication::focusWidget());
  // Told before the panel hides, so that the focus can go back to the days
  // first: hiding the focus would pass it to the next widget, a button that
  // a screen reader would announce on the way.
  emit closed(hadFocus);
  hide();
  setUndoNote(std::nullopt);
}

void NotePanel::followNoteFile(const std::optional<std::string>& note, ChangedBy changedBy) {
  if (!isOpen() || storing_) return;
  if (note == noteOnDisk_) {
    // Back to the note the box was written against (a merge took it in):
    // a box that shows it holds nothing unsaved any more.
    if (std::exchange(toldOnDisk_, note) != note && box_->note() == QString::fromStdString(note.value_or(""))) {
      textAsStored_ = box_->note();
      tell(QString());
    }
    return;
  }
  const bool keep = hasUnsavedNote() || (justStored_ && changedBy == ChangedBy::kOtherProgram);
  if (!keep) {
    showNote(note);
    return;
  }
  // The box keeps the user's text, now unsaved; noteOnDisk_ stays the note
  // it was written against, so that a save asks before it overwrites.
  if (!hasUnsavedNote()) textAsStored_ = note ? QString::fromStdString(*note) : QString();
  justStored_ = false;
  if (std::exchange(toldOnDisk_, note) == note) return;
  // The whole sentence for the ear and the tooltip; the status beside the
  // buttons holds a few words.
  const bool imported = changedBy == ChangedBy::kImported;
  const QString said = (imported ? QStringLiteral("読み込んだ予定で") : QStringLiteral("別の端末で")) +
                       QStringLiteral("この日の予定が変わりました。この欄の内容はまだ保存されていません。");
  status_->setText(imported ? QStringLiteral("読み込みで変更") : QStringLiteral("別の端末で変更"));
  status_->setToolTip(said);
  announce(box_, said);
}

}  // namespace hiduke
