#include "main_window/design_fonts.h"

#include <QApplication>

namespace hiduke {
namespace {

// 11.25 pt at 96 dpi. A pixel size keeps the text in proportion to the
// twips layout whatever dpi the screen reports.
constexpr int kDesignFontPixels = 15;

QFont designFont(const QString& family, int zoom) {
  QFont font(family);
  font.setPixelSize((kDesignFontPixels * zoom + 50) / 100);
  font.setWeight(QFont::Bold);
  return font;
}

}  // namespace

void installFontSubstitutes() {
  QFont::insertSubstitution(QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue"));
  QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
}

QFont cellFont(int zoom) { return designFont(QStringLiteral("Comic Sans MS"), zoom); }

QFont headingFont(int zoom) { return designFont(QStringLiteral("ＭＳ ゴシック"), zoom); }

QFont textFont(int zoom) {
  QFont font = QApplication::font();
  if (font.pixelSize() > 0) {
    font.setPixelSize((font.pixelSize() * zoom + 50) / 100);
  } else {
    font.setPointSizeF(font.pointSizeF() * zoom / 100);
  }
  return font;
}

}  // namespace hiduke
