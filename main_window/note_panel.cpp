#include "main_window/note_panel.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include "main_window/design_fonts.h"
#include "main_window/note_box_text.h"
#include "main_window/store_messages.h"
#include "main_window/twips.h"
#include "main_window/window_look.h"
#include "month_model/colour_contrast.h"

namespace hiduke {

NotePanel::NotePanel(QWidget* window, NoteStore& notes) : QObject(window), window_(window), notes_(notes) {
  edit_ = new QPlainTextEdit(window);
  edit_->setObjectName(QStringLiteral("noteEdit"));
  edit_->setGeometry(TwipsRect(3600, 480, 4935, 2055));
  edit_->setTabChangesFocus(true);  // Tab moves on to the buttons, as in any form
  edit_->setAccessibleName(QStringLiteral("予定"));

  saveButton_ = MakeButton(window, "saveButton", QStringLiteral("更新・削除"), TwipsRect(5040, 2760, 975, 375));
  closeButton_ = MakeButton(window, "closeButton", QStringLiteral("閉じる"), TwipsRect(6240, 2760, 975, 375));
  connect(saveButton_, &QPushButton::clicked, this, &NotePanel::saveOrDelete);
  connect(closeButton_, &QPushButton::clicked, this, &NotePanel::requestClose);

  heading_ = new QLabel(window);
  heading_->setObjectName(QStringLiteral("noteHeading"));
  heading_->setGeometry(TwipsRect(3840, 120, 4575, 255));
  heading_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  heading_->setFont(HeadingFont());
  heading_->setAutoFillBackground(true);
  // The heading's white text on the button face, darkened as far as the
  // face needs for it to be read.
  const QColor face = QApplication::palette().color(QPalette::Button);
  SetTextColour(heading_, ToQColor(legibleTextColour(kWeekdayColour, ToRgb(face))));
  SetBackColour(heading_, face);

  // Hidden, and the heading with nothing to say, until a day is opened.
  for (QWidget* widget : {static_cast<QWidget*>(heading_), static_cast<QWidget*>(edit_),
                          static_cast<QWidget*>(saveButton_), static_cast<QWidget*>(closeButton_)}) {
    widget->hide();
  }
}

bool NotePanel::isOpen() const { return edit_->isVisibleTo(window_); }

QList<QWidget*> NotePanel::focusChain() const { return {edit_, saveButton_, closeButton_}; }

bool NotePanel::hasFocus() const {
  const QWidget* focus = window_->focusWidget();
  return focus == edit_ || focus == saveButton_ || focus == closeButton_;
}

void NotePanel::open(const NoteDate& day) {
  day_ = day;
  edit_->show();
  saveButton_->show();
  closeButton_->show();
  heading_->show();
  heading_->setText(DateText(day.year, day.month, day.day) + QStringLiteral("の予定"));
  edit_->setAccessibleName(heading_->text());
  emit opened();
  load();
  edit_->setFocus();  // typing right away goes into the note
}

void NotePanel::load() {
  edit_->clear();
  noteOnDisk_.reset();
  const StoreResult<std::optional<std::string>> note = notes_.ReadNote(day_);
  if (!note) {
    ShowMessage(window_, StoreErrorMessage(note.error()));
  } else {
    noteOnDisk_ = *note;
    if (*note) SetNoteBoxText(edit_, QString::fromStdString(**note));
  }
  textAsStored_ = NoteBoxText(edit_);
}

void NotePanel::saveOrDelete() {
  if (storing_) return;  // pressed again while the save waits for the file
  if (confirmOverwrite()) store(NoteBoxText(edit_).toStdString());
}

bool NotePanel::store(const std::string& note) {
  // An empty box deletes the note; anything else, spaces alone too, is saved.
  const bool hasNote = !note.empty();
  // While another copy of the program holds the file, the window shows it
  // is busy and keeps painting; what the user does waits for the save.
  storing_ = true;
  bool busy = false;
  notes_.set_lock_wait_hook([&busy] {
    if (!busy) QApplication::setOverrideCursor(Qt::BusyCursor);
    busy = true;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  });
  const StoreResult<SaveReport> stored = hasNote ? notes_.SaveNote(day_, note) : notes_.DeleteNote(day_);
  notes_.set_lock_wait_hook({});
  if (busy) QApplication::restoreOverrideCursor();
  storing_ = false;
  if (!stored) {
    ShowMessage(window_, StoreErrorMessage(stored.error()));
    return false;
  }
  // The note as the file now holds it (look-alikes stored as what code page
  // 932 has), against which a later change by another program is found.
  const StoreResult<std::optional<std::string>> onDisk = notes_.ReadNote(day_);
  if (onDisk) noteOnDisk_ = *onDisk;
  textAsStored_ = NoteBoxText(edit_);
  emit noteStored(day_, hasNote);
  announce(hasNote ? QStringLiteral("保存しました") : QStringLiteral("削除しました"));
  if (stored->warning) ShowMessage(window_, StoreErrorMessage(*stored->warning));
  return true;
}

void NotePanel::announce(const QString& text) {
  // Screen readers hear it through the box's description, also when the
  // same thing happens twice in a row.
  edit_->setAccessibleDescription(text);
  QAccessibleEvent event(edit_, QAccessible::DescriptionChanged);
  QAccessible::updateAccessibility(&event);
}

bool NotePanel::confirmOverwrite() {
  const StoreResult<std::optional<std::string>> onDisk = notes_.ReadNote(day_);
  if (!onDisk || *onDisk == noteOnDisk_) return true;  // a read error shows at the save
  QMessageBox box(QMessageBox::Warning, QApplication::applicationName(),
                  heading_->text() + QStringLiteral("は、開いた後にほかのところで変更されています。"),
                  QMessageBox::NoButton, window_);
  QPushButton* overwrite = box.addButton(QStringLiteral("上書き"), QMessageBox::AcceptRole);
  QPushButton* reload = box.addButton(QStringLiteral("読み込み直す"), QMessageBox::ResetRole);
  QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
  box.setDefaultButton(cancel);
  box.setEscapeButton(cancel);
  box.exec();
  if (box.clickedButton() == reload) load();
  return box.clickedButton() == overwrite;
}

bool NotePanel::hasUnsavedNote() const { return isOpen() && NoteBoxText(edit_) != textAsStored_; }

bool NotePanel::settleUnsavedNote() {
  if (storing_) return false;  // a close that arrives while a save waits
  if (!hasUnsavedNote()) return true;
  QMessageBox box(QMessageBox::Question, QApplication::applicationName(),
                  heading_->text() + QStringLiteral("は変更されています。\n保存しますか？"),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, window_);
  box.setDefaultButton(QMessageBox::Save);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Save: return confirmOverwrite() && store(NoteBoxText(edit_).toStdString());
    case QMessageBox::Discard: return true;
    default: return false;
  }
}

void NotePanel::requestClose() {
  if (!storing_ && settleUnsavedNote()) close();
}

void NotePanel::close() {
  const bool hadFocus = hasFocus();
  edit_->hide();
  saveButton_->hide();
  closeButton_->hide();
  heading_->hide();
  emit closed(hadFocus);
}

void NotePanel::followNoteFile() {
  if (!isOpen() || storing_ || hasUnsavedNote()) return;
  const StoreResult<std::optional<std::string>> onDisk = notes_.ReadNote(day_);
  if (onDisk && *onDisk != noteOnDisk_) load();
}

}  // namespace hiduke
