#pragma once

#include <QRect>

namespace hiduke {

// The window is laid out in twips; 15 twips make one logical pixel at 96 dpi.
// Qt scales logical pixels on high-density screens, so the layout stays exact.
inline constexpr int TwipsToPixels(int twips) { return (twips + 7) / 15; }

inline QRect TwipsRect(int left, int top, int width, int height) {
  return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}

}  // namespace hiduke
