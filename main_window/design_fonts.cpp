#include "main_window/design_fonts.h"

namespace hiduke {
namespace {

// 11.25 pt at 96 dpi. A pixel size keeps the text in proportion to the
// twips layout whatever dpi the screen reports.
constexpr int kDesignFontPixels = 15;

QFont designFont(const QString& family) {
  QFont font(family);
  font.setPixelSize(kDesignFontPixels);
  font.setWeight(QFont::Bold);
  return font;
}

}  // namespace

void installFontSubstitutes() {
  QFont::insertSubstitution(QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue"));
  QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
}

QFont cellFont() { return designFont(QStringLiteral("Comic Sans MS")); }

QFont headingFont() { return designFont(QStringLiteral("ＭＳ ゴシック")); }

}  // namespace hiduke
