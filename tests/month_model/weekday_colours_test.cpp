#include "month_model/weekday_colours.h"

#include <gtest/gtest.h>

#include "month_model/month_grid.h"

namespace hiduke {
namespace {

TEST(WeekdayColours, SundayRedSaturdayGreenOthersWhite) {
  for (int cell = 0; cell < kCellCount; ++cell) {
    const Rgb expected = cell % 7 == 0 ? Rgb{255, 51, 0} : cell % 7 == 6 ? Rgb{0, 192, 0} : Rgb{255, 255, 255};
    EXPECT_EQ(columnColour(cell), expected) << "cell " << cell;
  }
}

}  // namespace
}  // namespace hiduke
