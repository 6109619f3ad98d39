#include "month_model/weekday_colours.h"

#include <gtest/gtest.h>

namespace hiduke {
namespace {

// Cells run Sunday to Saturday in six rows; each column once, rows 0 and 5.
TEST(WeekdayColours, SundayRedSaturdayGreenOthersWhite) {
  constexpr Rgb kRed{255, 51, 0}, kGreen{0, 192, 0}, kWhite{255, 255, 255};
  const struct { int cell; Rgb colour; } kCases[] = {{0, kRed},   {1, kWhite},  {9, kWhite},  {17, kWhite},
                                                     {25, kWhite}, {33, kWhite}, {6, kGreen},  {35, kRed},
                                                     {36, kWhite}, {40, kWhite}, {41, kGreen}};
  for (const auto& c : kCases) EXPECT_EQ(columnColour(c.cell), c.colour) << "cell " << c.cell;
}

}  // namespace
}  // namespace hiduke
