#pragma once

#include <QRect>

namespace hiduke {

// The window is laid out in twips; 15 twips make one logical pixel at 96 dpi,
// times the zoom (in percent). Qt scales logical pixels on high-density
// screens, so the layout stays exact.
inline constexpr int twipsToPixels(int twips, int zoom = 100) { return (twips * zoom + 750) / 1500; }

inline QRect twipsRect(int left, int top, int width, int height, int zoom = 100) {
  return {twipsToPixels(left, zoom), twipsToPixels(top, zoom), twipsToPixels(width, zoom), twipsToPixels(height, zoom)};
}

// Where everything stands, in the window's client area: the month view on
// the left, the note panel on the right, uncovered by widening the window.
namespace layout {

inline constexpr int kClientHeight = 3240;
inline constexpr int kNarrowClientWidth = 3525;  // the month view alone
inline constexpr int kWideClientWidth = 8745;    // with the note panel

// The month view: the weekday headings above the grid of day cells.
inline constexpr int kHeadingTop = 120;
inline constexpr int kHeadingSize = 372;
inline constexpr int kGridLeft = 120;
inline constexpr int kGridTop = 480;
inline constexpr int kColumnPitch = 480;
inline constexpr int kRowPitch = 360;
inline constexpr int kCellSize = 375;
inline constexpr QRect kPreviousMonthButton{120, 2760, 495, 375};
inline constexpr QRect kNextMonthButton{2880, 2760, 495, 375};

// The note panel, from its left edge on.
inline constexpr int kPanelLeft = 3600;
inline constexpr QRect kNoteHeading{3840, 120, 4575, 255};
inline constexpr QRect kNoteBox{3600, 480, 4935, 2055};
inline constexpr QRect kSaveStatus{3600, 2760, 1320, 375};  // what the last save did
inline constexpr QRect kSaveButton{5040, 2760, 975, 375};
inline constexpr QRect kCloseButton{6240, 2760, 975, 375};

// The bar below the month and the panel that offers to merge the conflict
// copies a sync tool left beside the note file; the window grows by it
// while it shows. Its parts, from its own top left corner.
inline constexpr int kConflictBarHeight = 900;  // the least; a longer text makes it higher
inline constexpr int kConflictBarMargin = 120;
inline constexpr int kConflictBarButtonWidth = 975;
inline constexpr int kConflictBarButtonHeight = 375;

}  // namespace layout

inline QRect twipsRect(const QRect& twips, int zoom = 100) {
  return twipsRect(twips.x(), twips.y(), twips.width(), twips.height(), zoom);
}

}  // namespace hiduke
