#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

#include "ical/ical_progress.h"

class QWidget;

namespace hiduke {

// What the dialog of a long task says: its title (the subject, as every
// dialog's), what is under way, and whether it may be stopped.
struct LongTask {
  QString title;
  QString label;
  bool cancellable = true;
};

// Runs `work` on a thread of its own and returns what it returned, here on
// the window's thread, once it has ended. Meanwhile the window goes on
// painting, and a dialog modal to `window` (shown unless the work ends
// within a moment) holds its progress and, where the task is cancellable,
// a キャンセル button: once it is pressed, `work`'s next progress call
// answers false. The dialog keeps the person from doing anything else in
// the window until the work has ended.
void runOffThread(QWidget* window, const LongTask& task, const std::function<void(const ICalProgress&)>& work);

template <typename Work>
std::invoke_result_t<Work&, const ICalProgress&> runLongTask(QWidget* window, const LongTask& task, Work&& work) {
  std::optional<std::invoke_result_t<Work&, const ICalProgress&>> result;
  runOffThread(window, task, [&](const ICalProgress& progress) { result.emplace(work(progress)); });
  return std::move(*result);
}

}  // namespace hiduke
