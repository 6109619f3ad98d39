#include "month_model/month_step.h"

#include <gtest/gtest.h>

namespace hiduke {
namespace {

struct StepCase {
  YearMonth from;
  YearMonth previous;
  YearMonth next;
};

TEST(MonthStep, StepsOneMonthAndRollsOverTheYear) {
  const StepCase cases[] = {
      {{2002, 12}, {2002, 11}, {2003, 1}},
      {{2003, 1}, {2002, 12}, {2003, 2}},
      {{2002, 6}, {2002, 5}, {2002, 7}},
      {{1583, 1}, {1582, 12}, {1583, 2}},
      {{32767, 12}, {32767, 11}, {32768, 1}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PreviousMonth(c.from), c.previous) << c.from.year << "-" << c.from.month;
    EXPECT_EQ(NextMonth(c.from), c.next) << c.from.year << "-" << c.from.month;
  }
}

TEST(MonthStep, TwelveStepsReachTheSameMonthOfTheNextOrPreviousYear) {
  for (int month = 1; month <= 12; ++month) {
    YearMonth forward{2002, month};
    YearMonth back{2002, month};
    for (int i = 0; i < 12; ++i) {
      forward = NextMonth(forward);
      back = PreviousMonth(back);
    }
    EXPECT_EQ(forward, (YearMonth{2003, month}));
    EXPECT_EQ(back, (YearMonth{2001, month}));
  }
}

}  // namespace
}  // namespace hiduke
