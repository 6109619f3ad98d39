// Qt's own menus and dialog buttons read in Japanese even under LANG=C.
#include <QAbstractButton>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>
#include <memory>

#include "window_test_support.h"

using namespace hiduke::testing;

namespace {

// An action or button text without its mnemonic ("元に戻す(&U)") and shortcut.
QString plain(const QString& text) {
  QString plain = text.section(QLatin1Char('\t'), 0, 0);
  plain.remove(QRegularExpression(QStringLiteral(R"(\(&.\))")));
  plain.remove(QLatin1Char('&'));
  return plain;
}

}  // namespace

class TranslationTest : public QObject {
  Q_OBJECT

 private slots:
  void noteContextMenuIsJapanese();
  void messageBoxButtonsAreJapanese();
};

void TranslationTest::noteContextMenuIsJapanese() {
  QPlainTextEdit edit(QStringLiteral("予定"));
  const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
  QStringList texts;
  for (const QAction* action : menu->actions()) {
    if (!action->isSeparator()) texts.append(plain(action->text()));
  }
  QCOMPARE(texts, (QStringList{"元に戻す", "やり直す", "切り取り", "コピー", "貼り付け", "削除", "すべてを選択"}));
}

void TranslationTest::messageBoxButtonsAreJapanese() {
  QMessageBox box;
  box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
  const QStringList texts = {plain(box.button(QMessageBox::Save)->text()),
                             plain(box.button(QMessageBox::Discard)->text()),
                             plain(box.button(QMessageBox::Cancel)->text())};
  QCOMPARE(texts, (QStringList{"保存", "変更を破棄", "キャンセル"}));
}

int main(int argc, char* argv[]) {
  qputenv("LANG", "C");
  qputenv("LC_ALL", "C");
  TranslationTest test;
  return runWindowTests(test, argc, argv);
}

#include "translation_test.moc"
