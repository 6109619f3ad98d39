#include "main_window/window_zoom.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <array>
#include <cmath>

namespace hiduke::zoom {
namespace {

constexpr std::array<int, 7> kSteps = {kDefault, 125, 150, 175, 200, 250, kLargest};
constexpr char kZoomKey[] = "zoom=";

}  // namespace

int larger(int percent) {
  const auto* next = std::upper_bound(kSteps.begin(), kSteps.end(), percent);
  return next == kSteps.end() ? kSteps.back() : *next;
}

int smaller(int percent) {
  const auto* at = std::lower_bound(kSteps.begin(), kSteps.end(), percent);
  return at == kSteps.begin() ? kSteps.front() : *(at - 1);
}

QSize scaled(QSize atDefault, int percent) {
  return {static_cast<int>(std::lround(atDefault.width() * percent / 100.0)),
          static_cast<int>(std::lround(atDefault.height() * percent / 100.0))};
}

int fitting(QSize available, QSize atDefault) {
  int best = kSteps.front();
  for (const int step : kSteps) {
    const QSize size = scaled(atDefault, step);
    if (size.width() <= available.width() && size.height() <= available.height()) best = step;
  }
  return best;
}

QString settingsPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/hiduke/settings");
}

int load() {
  QFile file(settingsPath());
  if (!file.open(QIODevice::ReadOnly)) return kDefault;
  const QByteArray line = file.readLine(64).trimmed();
  if (!line.startsWith(kZoomKey)) return kDefault;
  bool read = false;
  const int percent = line.mid(sizeof kZoomKey - 1).toInt(&read);
  return read && std::find(kSteps.begin(), kSteps.end(), percent) != kSteps.end() ? percent : kDefault;
}

bool save(int percent) {
  const QString path = settingsPath();
  QSaveFile file(path);
  if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !file.open(QIODevice::WriteOnly)) return false;
  file.write(kZoomKey + QByteArray::number(percent) + '\n');
  return file.commit();
}

}  // namespace hiduke::zoom
