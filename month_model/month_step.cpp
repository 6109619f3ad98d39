#include "month_model/month_step.h"

namespace hiduke {

YearMonth PreviousMonth(YearMonth current) {
  if (current.month == 1) return {current.year - 1, 12};
  return {current.year, current.month - 1};
}

YearMonth NextMonth(YearMonth current) {
  if (current.month == 12) return {current.year + 1, 1};
  return {current.year, current.month + 1};
}

}  // namespace hiduke
