#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace hiduke {

// The bar at the foot of the window that tells of the conflict copies a
// sync tool left beside the note file and offers to merge them
// (「まとめる」), then tells what the merge did until the user closes it. It
// never takes the focus by itself; its button is in the window's Tab order.
class ConflictBar : public QWidget {
  Q_OBJECT

 public:
  explicit ConflictBar(QWidget* parent = nullptr);

  // Shows `text` with 「まとめる」, and says it.
  void offer(const QString& text);
  // Shows what a merge did with 「閉じる」, and says it.
  void tellOutcome(const QString& text);
  bool isOffering() const { return offering_; }
  QWidget* button() const;

  // Lays the bar out at `zoom` percent across `width` twips, along the
  // window's foot, as high as its text needs.
  void setZoom(int zoom, int width);
  // Its height in twips, as last laid out.
  int heightTwips() const { return heightTwips_; }

 signals:
  void mergeRequested();
  // 閉じる after a merge's outcome: the window hides the bar.
  void closed();

 private:
  void present(const QString& text, bool offering);

  QLabel* text_ = nullptr;
  QPushButton* button_ = nullptr;
  bool offering_ = false;
  int heightTwips_ = 0;
};

}  // namespace hiduke
