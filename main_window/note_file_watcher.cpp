#include "main_window/note_file_watcher.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>
#include <utility>

namespace hiduke {
namespace {

constexpr int kSettleMs = 200;  // lets a burst of changes settle before one look
constexpr int kPollMs = 2000;
constexpr int kMissingLookMs = 50;
constexpr int kMissingPatienceMs = 1000;

}  // namespace

NoteFileWatcher::NoteFileWatcher(const QString& path, std::function<FileIdentity()> identity, QObject* parent,
                                 Watching watching)
    : QObject(parent), path_(path), identity_(std::move(identity)) {
  settle_ = new QTimer(this);
  settle_->setSingleShot(true);
  settle_->setInterval(kSettleMs);
  connect(settle_, &QTimer::timeout, this, &NoteFileWatcher::check);
  poll_ = new QTimer(this);
  poll_->setInterval(kPollMs);
  connect(poll_, &QTimer::timeout, this, &NoteFileWatcher::check);
  lookAgain_ = new QTimer(this);
  lookAgain_->setSingleShot(true);
  lookAgain_->setInterval(kMissingLookMs);
  connect(lookAgain_, &QTimer::timeout, this, &NoteFileWatcher::check);

  // The directory above all: a save by another copy renames a new file
  // into place. Watches stay with the directory when it is renamed.
  watcher_ = new QFileSystemWatcher(this);
  if (watching == Watching::kPollingOnly || !watcher_->addPath(QFileInfo(path_).absolutePath())) {
    poll_->start();
    return;
  }
  watcher_->addPath(path_);  // fails quietly while the file does not exist
  // A steady stream of changes must not put the look off for ever.
  const auto settle = [this] {
    if (!settle_->isActive()) settle_->start();
  };
  connect(watcher_, &QFileSystemWatcher::fileChanged, this, settle);
  connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this, settle] {
    directoryChanged_ = true;
    settle();
  });
}

bool NoteFileWatcher::isPolling() const { return poll_->isActive(); }

void NoteFileWatcher::check() {
  // A replaced file, this program's own save too, is a new file to watch.
  if (!isPolling() && !watcher_->files().contains(path_)) watcher_->addPath(path_);
  const FileIdentity now = identity_();
  if (!now.exists && known_.exists) {
    if (!missing_.isValid()) missing_.start();
    if (!missing_.hasExpired(kMissingPatienceMs)) {
      lookAgain_->start();
      return;
    }
  }
  missing_.invalidate();
  const bool inDirectory = std::exchange(directoryChanged_, false) || isPolling();
  if (now != known_) {
    known_ = now;
    emit changedOnDisk();
  }
  if (inDirectory) emit directoryChanged();
}

}  // namespace hiduke
