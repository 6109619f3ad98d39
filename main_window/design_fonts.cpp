#include "main_window/design_fonts.h"

namespace hiduke {
namespace {

// 11.25 pt at 96 dpi. A pixel size keeps the text in proportion to the
// twips layout whatever dpi the screen reports.
constexpr int kDesignFontPixels = 15;

QFont DesignFont(const QString& family) {
  QFont font(family);
  font.setPixelSize(kDesignFontPixels);
  font.setWeight(QFont::Bold);
  return font;
}

}  // namespace

void InstallFontSubstitutes() {
  QFont::insertSubstitution(QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue"));
  QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
}

QFont CellFont() { return DesignFont(QStringLiteral("Comic Sans MS")); }

QFont HeadingFont() { return DesignFont(QStringLiteral("ＭＳ ゴシック")); }

}  // namespace hiduke
