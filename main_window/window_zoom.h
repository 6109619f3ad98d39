#pragma once

#include <QSize>
#include <QString>

namespace hiduke {

// How large the whole window is drawn, in percent of the design's size (15
// twips to a logical pixel), in steps from 100% to 300%. The zoom chosen is
// kept for the next start in the user's configuration directory.
namespace zoom {

inline constexpr int kDefault = 100;
inline constexpr int kLargest = 300;

int larger(int percent);
int smaller(int percent);
// The largest step at which a window of `atDefault` pixels at 100% fits
// into `available`.
int fitting(QSize available, QSize atDefault);
// `atDefault` at `percent`.
QSize scaled(QSize atDefault, int percent);

// The zoom kept in the settings file; the default when there is none or
// it cannot be read.
int load();
// Keeps `percent`, written whole and put in place in one step; false when
// it could not be written.
bool save(int percent);
QString settingsPath();

}  // namespace zoom
}  // namespace hiduke
