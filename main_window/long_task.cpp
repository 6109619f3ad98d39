#include "main_window/long_task.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <thread>

namespace hiduke {
namespace {

// A task that ends within this shows no dialog, only the busy cursor: the
// person's input waits meanwhile.
constexpr int kQuietMs = 400;
// How often the bar follows the work: the work may report a million times.
constexpr int kFollowMs = 50;
constexpr int kBarSteps = 1000;

// What the work's thread tells the window's, and hears from it.
struct SharedProgress {
  std::atomic<std::uint64_t> done{0};
  std::atomic<std::uint64_t> total{0};
  std::atomic<bool> cancelled{false};
};

class LongTaskDialog : public QDialog {
 public:
  LongTaskDialog(QWidget* window, const LongTask& task, SharedProgress& shared)
      : QDialog(window), shared_(shared), cancellable_(task.cancellable) {
    setObjectName(QStringLiteral("longTaskDialog"));
    setWindowTitle(task.title);
    setWindowModality(Qt::WindowModal);
    label_ = new QLabel(task.label, this);
    bar_ = new QProgressBar(this);
    bar_->setAccessibleName(task.label);
    bar_->setRange(0, 0);  // moving, until the work knows its total
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("cancelTaskButton"));
    cancel->setVisible(cancellable_);
    connect(cancel, &QPushButton::clicked, this, &LongTaskDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addWidget(bar_);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    setFixedSize(sizeHint().width() * 2, sizeHint().height());
  }

  void follow() {
    const std::uint64_t total = shared_.total.load(std::memory_order_relaxed);
    if (total == 0) return;
    const std::uint64_t done = std::min(shared_.done.load(std::memory_order_relaxed), total);
    bar_->setRange(0, kBarSteps);
    bar_->setValue(static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * kBarSteps));
  }

  // キャンセル, Esc and the frame's close button ask the work to stop; the
  // dialog stays until it has, so that nothing else uses what it uses.
  void reject() override {
    if (!cancellable_ || shared_.cancelled.exchange(true)) return;
    findChild<QPushButton*>(QStringLiteral("cancelTaskButton"))->setEnabled(false);
    label_->setText(QStringLiteral("取りやめています…"));
  }

 private:
  SharedProgress& shared_;
  bool cancellable_;
  QLabel* label_ = nullptr;
  QProgressBar* bar_ = nullptr;
};

}  // namespace

void runOffThread(QWidget* window, const LongTask& task, const std::function<void(const ICalProgress&)>& work) {
  SharedProgress shared;
  LongTaskDialog dialog(window, task, shared);
  QEventLoop loop;
  QObject arrival;  // of this thread: the work's end is delivered to it
  bool ended = false;
  std::exception_ptr failure;
  const ICalProgress progress = [&shared](std::uint64_t done, std::uint64_t total) {
    shared.done.store(done, std::memory_order_relaxed);
    shared.total.store(total, std::memory_order_relaxed);
    return !shared.cancelled.load(std::memory_order_relaxed);
  };

  QApplication::setOverrideCursor(Qt::BusyCursor);
  std::thread worker([&] {
    try {
      work(progress);
    } catch (...) {
      failure = std::current_exception();
    }
    QMetaObject::invokeMethod(&arrival, [&] {
      ended = true;
      loop.quit();
    }, Qt::QueuedConnection);
  });
  QTimer quiet;
  quiet.setSingleShot(true);
  QObject::connect(&quiet, &QTimer::timeout, &loop, &QEventLoop::quit);
  quiet.start(kQuietMs);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  if (!ended) {
    QTimer follow;
    QObject::connect(&follow, &QTimer::timeout, &dialog, &LongTaskDialog::follow);
    follow.start(kFollowMs);
    dialog.show();
    loop.exec();
  }
  worker.join();
  QApplication::restoreOverrideCursor();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace hiduke
