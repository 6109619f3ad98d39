#include "month_model/colour_contrast.h"

#include <cmath>

namespace hiduke {
namespace {

double linear(int channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(Rgb colour) {
  return 0.2126 * linear(colour.red) + 0.7152 * linear(colour.green) + 0.0722 * linear(colour.blue);
}

int mix(int from, int to, int step, int steps) { return from + (to - from) * step / steps; }

}  // namespace

double contrastRatio(Rgb a, Rgb b) {
  const double la = luminance(a);
  const double lb = luminance(b);
  return la > lb ? (la + 0.05) / (lb + 0.05) : (lb + 0.05) / (la + 0.05);
}

Rgb legibleTextColour(Rgb text, Rgb fill) {
  // Move towards black or white, whichever stands out more from the fill;
  // the last step reaches it, and black or white is always legible enough.
  const Rgb black{0, 0, 0};
  const Rgb white{255, 255, 255};
  const Rgb end = contrastRatio(black, fill) >= contrastRatio(white, fill) ? black : white;
  if (contrastRatio(text, fill) >= kLegibleContrast) return text;
  constexpr int kSteps = 64;
  Rgb mixed = text;
  for (int step = 1; step <= kSteps && contrastRatio(mixed, fill) < kComfortableContrast; ++step) {
    mixed = {mix(text.red, end.red, step, kSteps), mix(text.green, end.green, step, kSteps),
             mix(text.blue, end.blue, step, kSteps)};
  }
  return mixed;
}

}  // namespace hiduke
