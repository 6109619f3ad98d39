#include "main_window/screen_reader.h"

#include <QAccessible>
#include <QWidget>

namespace hiduke {

void announce(QWidget* widget, const QString& text) {
  if (widget->accessibleDescription() != text) {
    widget->setAccessibleDescription(text);  // which tells of the change itself
  } else if (!text.isEmpty()) {
    QAccessibleEvent event(widget, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
  }
}

}  // namespace hiduke
