#pragma once

#include <QRect>

namespace hiduke {

// The window is laid out in twips; 15 twips make one logical pixel at 96 dpi.
// Qt scales logical pixels on high-density screens, so the layout stays exact.
inline constexpr int twipsToPixels(int twips) { return (twips + 7) / 15; }

inline QRect twipsRect(int left, int top, int width, int height) {
  return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

}  // namespace hiduke
