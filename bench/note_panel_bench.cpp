// Opening a day whose note is one long line (as an old file may hold one),
// beside its baseline, the store's reading of that note alone:
//   ReadNote   NoteStore::note of the day
//   OpenDay    a click on the day: the panel shows the note, which the
//              window read with its month, and it is painted
// for notes of 1 MB and 10 MB of code page 932 text, in a window that Qt
// draws offscreen. Run from a directory of the disk to measure.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <string>

#include "main_window/day_cell.h"
#include "main_window/main_window.h"
#include "note_store/note_store.h"

namespace {

// 1 May 2026 is a Friday: the 15th is in cell 19.
constexpr int kCellOf15th = 19;

class LongNoteDir {
 public:
  explicit LongNoteDir(size_t bytes) {
    char pattern[] = "hiduke-bench-XXXXXX";
    path_ = QDir::current().absoluteFilePath(QString::fromLocal8Bit(::mkdtemp(pattern)));
    QFile file(path_ + QStringLiteral("/hiduke.dat"));
    file.open(QIODevice::WriteOnly);
    const QByteArray text = QByteArray("abcdefghij").repeated(static_cast<qsizetype>(bytes / 10));
    file.write("2026,5,15," + text + "\r\n");
  }
  ~LongNoteDir() { QDir(path_).removeRecursively(); }
  const QString& path() const { return path_; }

 private:
  QString path_;
};

void BM_ReadNote(benchmark::State& state) {
  const LongNoteDir dir(static_cast<size_t>(state.range(0)));
  const hiduke::NoteStore notes = *hiduke::NoteStore::open((dir.path() + QStringLiteral("/hiduke.dat")).toStdString());
  for (auto _ : state) benchmark::DoNotOptimize(notes.note(std::chrono::year(2026) / 5 / 15));
}

void BM_OpenDay(benchmark::State& state) {
  const LongNoteDir dir(static_cast<size_t>(state.range(0)));
  const QString previous = QDir::currentPath();
  QDir::setCurrent(dir.path());
  hiduke::MainWindow window(*hiduke::NoteStore::open(), [] { return QDateTime(QDate(2026, 5, 1), QTime(12, 0)); });
  window.start();
  window.show();
  auto* cell = window.findChild<hiduke::DayCell*>(QStringLiteral("dayCell%1").arg(kCellOf15th));
  for (auto _ : state) {
    QTest::mouseClick(cell, Qt::LeftButton);
    window.repaint();  // the box with the note on the screen
  }
  QDir::setCurrent(previous);
}

BENCHMARK(BM_ReadNote)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenDay)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char* argv[]) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
