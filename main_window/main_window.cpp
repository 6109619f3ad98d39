#include "main_window/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QShortcut>
#include <optional>
#include <utility>

#include "main_window/conflict_bar.h"
#include "main_window/conflict_messages.h"
#include "main_window/day_accessibility.h"
#include "main_window/day_description.h"
#include "main_window/go_to_date_dialog.h"
#include "main_window/import_messages.h"
#include "main_window/import_preview_dialog.h"
#include "main_window/import_range_dialog.h"
#include "main_window/layout_twips.h"
#include "main_window/message_box.h"
#include "main_window/month_view.h"
#include "main_window/note_book.h"
#include "main_window/note_panel.h"
#include "main_window/screen_reader.h"
#include "main_window/search_dialog.h"
#include "main_window/store_messages.h"
#include "main_window/today_clock.h"
#include "main_window/window_look.h"
#include "main_window/window_zoom.h"

namespace hiduke {

MainWindow::MainWindow(NoteStore store, std::function<QDateTime()> now, QWidget* parent)
    : QWidget(parent) {
  installWindowAccessibility();
  setObjectName(QStringLiteral("MainWindow"));
  setAutoFillBackground(true);
  setBackColour(this, Qt::black);

  book_ = new NoteBook(std::move(store), this);
  new Announcer(this);
  clock_ = new TodayClock(std::move(now), this);
  monthView_ = new MonthView(*book_, this);
  notePanel_ = new NotePanel(*book_, this);
  conflictBar_ = new ConflictBar(this);

  // Focus order: the note box, save, close, next month, previous month, the
  // days, and まとめる while the bar shows.
  QWidget* previous = nullptr;
  for (QWidget* next : notePanel_->focusChain() + monthView_->focusChain() + QList<QWidget*>{conflictBar_->button()}) {
    if (previous != nullptr) setTabOrder(previous, next);
    previous = next;
  }

  connect(clock_, &TodayClock::todayChanged, this, [this](std::chrono::year_month_day today) {
    monthView_->setToday(today);
    setTitle();
  });
  connect(monthView_, &MonthView::monthShown, this, &MainWindow::setTitle);
  connect(monthView_, &MonthView::dayOpened, this, &MainWindow::openDay);
  connect(monthView_, &MonthView::goToDateRequested, this, &MainWindow::goToDate);
  connect(monthView_, &MonthView::searchRequested, this, &MainWindow::searchNotes);
  connect(monthView_, &MonthView::upcomingRequested, this, &MainWindow::showUpcomingNotes);
  connect(monthView_, &MonthView::undoRequested, notePanel_, &NotePanel::undoStore);
  connect(notePanel_, &NotePanel::undoAvailable, monthView_, &MonthView::setUndoAvailable);
  connect(monthView_, &MonthView::exportRequested, this, &MainWindow::exportNotes);
  connect(monthView_, &MonthView::importRequested, this, &MainWindow::importNotes);
  connect(notePanel_, &NotePanel::opened, this, [this](std::chrono::year_month_day day) {
    setWide(true);
    monthView_->setOpenDay(day);
  });
  connect(notePanel_, &NotePanel::closed, this, &MainWindow::panelClosed);
  connect(book_, &NoteBook::changedOnDisk, this, [this] { noteFileChanged(NotePanel::ChangedBy::kOtherProgram); });
  connect(book_, &NoteBook::conflictCopiesMerged, this, [this] { noteFileChanged(NotePanel::ChangedBy::kConflictsMerged); });
  connect(book_, &NoteBook::conflictCopiesChanged, this, &MainWindow::showConflictCopies);
  connect(conflictBar_, &ConflictBar::mergeRequested, this, &MainWindow::mergeConflictCopies);
  connect(conflictBar_, &ConflictBar::closed, this, &MainWindow::hideConflictBar);

  const auto shortcut = [this](QKeySequence keys, auto action) {
    connect(new QShortcut(keys, this), &QShortcut::activated, this, action);
  };
  shortcut(QKeySequence::Save, [this] {
    if (notePanel_->isOpen()) notePanel_->saveOrDelete();
  });
  shortcut(QKeySequence(Qt::Key_Escape), [this] {
    if (notePanel_->isOpen()) notePanel_->requestClose();
  });
  shortcut(QKeySequence::Find, &MainWindow::searchNotes);
  shortcut(QKeySequence::Undo, [this] { notePanel_->undoStore(); });
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_L), &MainWindow::showUpcomingNotes);
  shortcut(QKeySequence::ZoomIn, [this] { setZoom(zoom::larger(zoom_)); });
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { setZoom(zoom::larger(zoom_)); });  // + without Shift
  shortcut(QKeySequence::ZoomOut, [this] { setZoom(zoom::smaller(zoom_)); });
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { setZoom(zoom::kDefault); });
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_G), &MainWindow::goToDate);
  setWide(true);
}

MainWindow::~MainWindow() {
  // Closing moves the focus while the children outlive this part of the
  // object: stop hearing them.
  disconnect(monthView_, nullptr, this, nullptr);
  disconnect(notePanel_, nullptr, this, nullptr);
  disconnect(book_, nullptr, this, nullptr);
  disconnect(conflictBar_, nullptr, this, nullptr);
  // The views hold the owner of the notes: they go first.
  delete notePanel_;
  delete monthView_;
}

QSize MainWindow::sizeAtDefault() const {
  const int bar = conflictBar_->isVisibleTo(this) ? conflictBar_->heightTwips() : 0;
  return {twipsToPixels(wide_ ? layout::kWideClientWidth : layout::kNarrowClientWidth),
          twipsToPixels(layout::kClientHeight + bar)};
}

void MainWindow::setWide(bool wide) {
  // The frame belongs to the window manager; the client area carries the
  // layout. Its edge resizes it from 100% to 300%, in the zoom's steps.
  wide_ = wide;
  conflictBar_->setZoom(zoom_, wide ? layout::kWideClientWidth : layout::kNarrowClientWidth);
  sizing_ = true;
  setMinimumSize(sizeAtDefault());
  setMaximumSize(zoom::scaled(sizeAtDefault(), zoom::kLargest));
  resize(zoom::scaled(sizeAtDefault(), zoom_));
  sizing_ = false;
}

void MainWindow::setZoom(int percent) {
  if (percent == zoom_) return;
  zoom_ = percent;
  monthView_->setZoom(percent);
  notePanel_->setZoom(percent);
  setWide(wide_);
  zoom::save(percent);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Dragged by its edge: the largest step the new size holds.
  if (!sizing_) QMetaObject::invokeMethod(this, &MainWindow::fitZoomToSize, Qt::QueuedConnection);
}

void MainWindow::fitZoomToSize() {
  // A maximised window, or one the window manager sizes its own way, keeps
  // its zoom: asking it for another size again would never end.
  if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) return;
  const int fitting = zoom::fitting(size(), sizeAtDefault());
  if (fitting != zoom_) setZoom(fitting);
}

void MainWindow::start() {
  const int saved = zoom::load();
  zoom_ = zoom::kDefault;
  if (saved != zoom_) {
    zoom_ = saved;
    monthView_->setZoom(saved);
    notePanel_->setZoom(saved);
  }
  setWide(false);
  monthView_->setToday(clock_->today());
  monthView_->showMonth(clock_->today().year() / clock_->today().month());
  // The day keys work at once: the focus starts on today.
  monthView_->takeFocus();
  book_->lookForConflictCopies();
}

void MainWindow::setTitle() {
  // Today's full date while today's month is shown.
  const std::chrono::year_month_day today = clock_->today();
  const std::chrono::year_month shown = monthView_->shownMonth();
  setWindowTitle(shown == today.year() / today.month() ? dateText(today) : monthText(shown));
}

void MainWindow::goToDay(std::chrono::year_month_day day) { monthView_->focusDay(day); }

void MainWindow::openDay(std::chrono::year_month_day day) {
  if (!notePanel_->settleUnsavedNote()) return;
  if (day.year() / day.month() != monthView_->shownMonth() && !monthView_->showMonth(day.year() / day.month())) return;
  const StoreResult<std::optional<std::string>> note = book_->note(day);
  if (!note) {
    book_->showError(note.error());
    return;
  }
  notePanel_->open(day, *note);
}

void MainWindow::panelClosed(bool hadFocus) {
  setWide(false);
  const std::optional<std::chrono::year_month_day> day = notePanel_->day();
  monthView_->setOpenDay(std::nullopt);
  // The keyboard goes back to the days, on the day that was open, or on the
  // marked day of the month shown since.
  if (!hadFocus) return;
  if (day && day->year() / day->month() == monthView_->shownMonth()) {
    monthView_->focusDay(*day);
  } else {
    monthView_->takeFocus();
  }
}

void MainWindow::noteFileChanged(NotePanel::ChangedBy changedBy) {
  const std::optional<std::chrono::year_month_day> day = notePanel_->day();
  if (!notePanel_->isOpen() || !day) return;
  if (const StoreResult<std::optional<std::string>> note = book_->note(*day)) {
    notePanel_->followNoteFile(*note, changedBy);
  }
}

void MainWindow::showConflictCopies() {
  if (merging_) return;  // the merge tells what it did
  const ConflictPlan& plan = book_->conflictPlan();
  if (!plan.copies.empty()) {
    conflictBar_->offer(conflictOfferText(plan));
    setWide(wide_);
  } else if (conflictBar_->isOffering()) {
    // Merged on another machine, or removed by hand.
    hideConflictBar();
  }
}

void MainWindow::mergeConflictCopies() {
  merging_ = true;
  const StoreResult<ConflictMergeReport> report = book_->mergeConflictCopies();
  merging_ = false;
  if (!report) {
    book_->showError(report.error());
    return;
  }
  conflictBar_->tellOutcome(conflictMergeSummary(*report));
  setWide(wide_);
}

void MainWindow::hideConflictBar() {
  const bool hadFocus = conflictBar_->isAncestorOf(QApplication::focusWidget());
  // The focus first, so that hiding it does not pass it to a button.
  if (hadFocus) monthView_->takeFocus();
  conflictBar_->hide();
  setWide(wide_);
}

void MainWindow::searchNotes() { chooseFromNotes(QStringLiteral("予定を検索")); }

void MainWindow::showUpcomingNotes() { chooseFromNotes(QStringLiteral("今後の予定")); }

void MainWindow::chooseFromNotes(const QString& title) {
  SearchDialog dialog(book_->noteSearch(), clock_->today(), title, this);
  if (dialog.exec() == QDialog::Accepted && dialog.chosenDay()) openDay(*dialog.chosenDay());
}

void MainWindow::goToDate() {
  GoToDateDialog dialog(this);
  if (dialog.exec() == QDialog::Accepted && dialog.chosenDay()) goToDay(*dialog.chosenDay());
}

void MainWindow::exportNotes() {
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("iCalendar に書き出す"),
                                                    QDir::home().filePath(QStringLiteral("hiduke.ics")),
                                                    QStringLiteral("iCalendar (*.ics)"));
  if (!path.isEmpty()) book_->exportTo(path);
}

void MainWindow::importNotes() {
  const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("iCalendar から読み込む"), QDir::homePath(),
                                                    QStringLiteral("iCalendar (*.ics)"));
  if (!path.isEmpty()) importFrom(path);
}

void MainWindow::importFrom(const QString& path) {
  const QString title = QStringLiteral("iCalendar から読み込む");
  ImportRangeDialog rangeDialog(clock_->today(), this);
  if (rangeDialog.exec() != QDialog::Accepted) return;
  // Another program's save between the plan and this one's: planned once
  // more from the file as it is now, and asked again.
  for (const bool replanned : {false, true}) {
    const StoreResult<ImportPlan> plan = book_->planImport(path, rangeDialog.range());
    if (!plan) {
      showMessage(this, title, storeErrorMessage(plan.error()));
      return;
    }
    ImportPreviewDialog preview(*plan, replanned, this);
    if (preview.exec() != QDialog::Accepted) return;
    const StoreResult<BatchReport> saved = book_->importPlan(*plan);
    if (saved) {
      noteFileChanged(NotePanel::ChangedBy::kImported);  // an open note shows what was added to it
      announce(this, importAnnouncement(*saved));
      showMessage(this, title, importSummary(*saved, *plan));
      return;
    }
    if (saved.error().kind != StoreErrorKind::kChangedOnDisk || replanned) {
      showMessage(this, title, storeErrorMessage(saved.error()));
      return;
    }
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Not while the notes are in use: settling the typed note would save
  // through the store that a save or a task is using.
  if (!book_->busy() && notePanel_->settleUnsavedNote()) {
    event->accept();
  } else {
    event->ignore();
  }
}

void MainWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // Back at the window after a while (a night, a suspend): today first.
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) clock_->check();
}

}  // namespace hiduke
