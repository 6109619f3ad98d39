#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <functional>

#include "note_store/file_identity.h"

class QFileSystemWatcher;
class QTimer;

namespace hiduke {

// Tells when the note file is no longer the one the program last read or
// wrote: another program (a second copy, a sync tool) changed it. The
// program's own saves are known by the file they put in place and pass
// unseen. It watches the file and its directory; where the system cannot
// watch them (no inotify watches left), it looks at the file's identity,
// size and times every two seconds instead. A file that was there and is
// missing is taken as gone only once it stays missing for a second: a sync
// tool replaces the file by removing it and renaming its new one into place.
class NoteFileWatcher : public QObject {
  Q_OBJECT

 public:
  enum class Watching { kWherePossible, kPollingOnly };

  // Watches the file `path`, whose identity `identity` tells without
  // reading it.
  NoteFileWatcher(const QString& path, std::function<FileIdentity()> identity, QObject* parent = nullptr,
                  Watching watching = Watching::kWherePossible);

  // The file as the program last read or wrote it.
  void setKnownFile(const FileIdentity& file) { known_ = file; }
  bool isPolling() const;
  // Looks at the file now, as the watch does after a change.
  void check();

 signals:
  void changedOnDisk();
  // Something in the note file's directory changed (a sync tool's conflict
  // copy may have come or gone); after changedOnDisk where both apply.
  void directoryChanged();

 private:
  QString path_;
  std::function<FileIdentity()> identity_;
  FileIdentity known_;
  QFileSystemWatcher* watcher_ = nullptr;
  QTimer* settle_ = nullptr;
  QTimer* poll_ = nullptr;
  QTimer* lookAgain_ = nullptr;  // while the file is missing
  QElapsedTimer missing_;         // since when it is
  bool directoryChanged_ = false;
};

}  // namespace hiduke
