#include "month_model/colour_contrast.h"

#include <cmath>

namespace hiduke {
namespace {

double Linear(int channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(Rgb colour) {
  return 0.2126 * Linear(colour.red) + 0.7152 * Linear(colour.green) + 0.0722 * Linear(colour.blue);
}

int Mix(int from, int to, int step, int steps) { return from + (to - from) * step / steps; }

}  // namespace

double ContrastRatio(Rgb a, Rgb b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return la > lb ? (la + 0.05) / (lb + 0.05) : (lb + 0.05) / (la + 0.05);
}

Rgb LegibleTextColour(Rgb text, Rgb fill) {
  // Move towards black or white, whichever stands out more from the fill;
  // the last step reaches it, and black or white is always legible enough.
  const Rgb black{0, 0, 0};
  const Rgb white{255, 255, 255};
  const Rgb end = ContrastRatio(black, fill) >= ContrastRatio(white, fill) ? black : white;
  if (ContrastRatio(text, fill) >= kLegibleContrast) return text;
  constexpr int kSteps = 64;
  Rgb mixed = text;
  for (int step = 1; step <= kSteps && ContrastRatio(mixed, fill) < kComfortableContrast; ++step) {
    mixed = {Mix(text.red, end.red, step, kSteps), Mix(text.green, end.green, step, kSteps),
             Mix(text.blue, end.blue, step, kSteps)};
  }
  return mixed;
}

}  // namespace hiduke
