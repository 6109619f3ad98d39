#include "main_window/conflict_bar.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "main_window/design_fonts.h"
#include "main_window/layout_twips.h"
#include "main_window/screen_reader.h"
#include "main_window/window_look.h"

namespace hiduke {

ConflictBar::ConflictBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("conflictBar"));
  text_ = new QLabel(this);
  text_->setObjectName(QStringLiteral("conflictText"));
  text_->setWordWrap(true);
  text_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setTextColour(text_, toQColor(kWeekdayColour));
  button_ = makeButton(this, "conflictButton", QString());
  connect(button_, &QPushButton::clicked, this, [this] {
    if (offering_) {
      emit mergeRequested();
    } else {
      emit closed();
    }
  });
  hide();  // until there is something to tell
}

QWidget* ConflictBar::button() const { return button_; }

void ConflictBar::offer(const QString& text) { present(text, true); }

void ConflictBar::tellOutcome(const QString& text) { present(text, false); }

void ConflictBar::present(const QString& text, bool offering) {
  offering_ = offering;
  button_->setText(offering ? QStringLiteral("まとめる") : QStringLiteral("閉じる"));
  button_->setAccessibleName(button_->text());
  text_->setText(text);
  text_->setToolTip(text);
  QWidget::show();
  announce(this, text);
}

void ConflictBar::setZoom(int zoom, int width) {
  using namespace layout;
  text_->setFont(textFont(zoom));
  button_->setFont(textFont(zoom));
  const int buttonLeft = width - kConflictBarMargin - kConflictBarButtonWidth;
  const int textWidth = buttonLeft - 2 * kConflictBarMargin;
  // A long list of days makes the bar higher, so that all of it shows.
  const int textPixels = text_->heightForWidth(twipsToPixels(textWidth, zoom));
  heightTwips_ = std::max(kConflictBarHeight, (textPixels * 1500 + zoom - 1) / zoom + 2 * kConflictBarMargin);
  setGeometry(twipsRect(0, kClientHeight, width, heightTwips_, zoom));
  button_->setGeometry(twipsRect(buttonLeft, (heightTwips_ - kConflictBarButtonHeight) / 2, kConflictBarButtonWidth,
                                 kConflictBarButtonHeight, zoom));
  text_->setGeometry(twipsRect(kConflictBarMargin, 0, textWidth, heightTwips_, zoom));
}

}  // namespace hiduke
