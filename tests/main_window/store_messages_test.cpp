// The messages the window shows for note store errors, and the errno
// phrases inside them.
#include <QRegularExpression>
#include <QTest>

#include <cerrno>

#include "main_window/errno_phrases.h"
#include "main_window/store_messages.h"

using hiduke::StoreError;
using hiduke::StoreErrorKind;
using hiduke::StoreOperation;

Q_DECLARE_METATYPE(hiduke::StoreError)

class StoreMessagesTest : public QObject {
  Q_OBJECT

 private slots:
  void everyMessageNamesThePathAndSaysWhatWasNotDone();
  void wordsNumbersAndCharacters_data();
  void wordsNumbersAndCharacters();
  void noErrnoIsWordedInEnglish();
};

namespace {

constexpr char kPath[] = "/home/user/hiduke.dat";
const QRegularExpression kLatinLetter(QStringLiteral("[A-Za-z]"));

StoreError error(StoreErrorKind kind, StoreOperation operation, int errorNumber = 0) {
  return StoreError{.kind = kind, .operation = operation, .errorNumber = errorNumber, .path = kPath};
}

}  // namespace

// Every kind for every operation: the path as given, "%" and all; the
// errno's phrase where the kind has one; what was not done, unless the
// warning's save took effect; no placeholder left, no English.
void StoreMessagesTest::everyMessageNamesThePathAndSaysWhatWasNotDone() {
  using enum StoreErrorKind;
  using enum StoreOperation;
  const QString path = QStringLiteral("/home/100%1 %2 50%/hiduke.dat");
  const QString notDone[] = {QString(), QStringLiteral("予定は保存されていません。"), QStringLiteral("予定は削除されていません。"),
                             QStringLiteral("書き出しは行われていません。"), QStringLiteral("読み込みは行われていません。")};  // by operation
  static const QRegularExpression kAllowed(QStringLiteral("ACL|CP932|iCalendar|U\\+[0-9A-F]{4}"));
  for (int k = 0; k <= static_cast<int>(kHardLinksSeparated); ++k) {  // the last kind
    const auto kind = static_cast<StoreErrorKind>(k);
    for (const StoreOperation operation : {kRead, kSave, kDelete, kExport, kImport}) {
      QString message = hiduke::storeErrorMessage({.kind = kind, .operation = operation, .errorNumber = EACCES,
                                                   .path = path.toStdString(), .characters = {"😀", "\u200b"},
                                                   .date = std::chrono::year(-1) / 3 / 1, .otherNames = 3});
      const QString what = QStringLiteral("kind %1, operation %2: ").arg(k).arg(static_cast<int>(operation)) + message;
      const bool hasPath = kind != kUnencodable && kind != kConverterMissing;
      QVERIFY2(message.contains(path) == hasPath, qPrintable(what));
      const bool hasReason = kind == kReadFailed || kind == kWriteFailed || kind == kConverterMissing || kind == kNotDurable ||
                             kind == kAttributesNotCopied || kind == kDirectoryNotWritable;
      QVERIFY2(message.contains(QStringLiteral("（アクセスが拒否されました）")) == hasReason, qPrintable(what));
      const bool tookEffect = kind == kNotDurable || kind == kHardLinksSeparated;
      for (int o = 1; o < 5; ++o) {
        const bool said = o == static_cast<int>(operation) && !tookEffect;
        QVERIFY2(message.endsWith(notDone[o]) == said && message.count(notDone[o]) == int{said}, qPrintable(what));
      }
      message.remove(path).remove(kAllowed);
      QVERIFY2(!message.contains(QLatin1Char('%')) && !message.contains(kLatinLetter), qPrintable(what));
    }
  }
}

// The wording where it carries numbers: a count, an errno without a phrase,
// and code points.
void StoreMessagesTest::wordsNumbersAndCharacters_data() {
  QTest::addColumn<StoreError>("error");
  QTest::addColumn<QString>("message");
  const QString path = QString::fromUtf8(kPath);
  QTest::newRow("unknown errno") << error(StoreErrorKind::kWriteFailed, StoreOperation::kSave, 4095)
                                 << path + " に書き込めませんでした（エラー番号 4095）。予定は保存されていません。";
  StoreError closedPipe = error(StoreErrorKind::kWriteFailed, StoreOperation::kExport, EPIPE);
  closedPipe.path = "-";
  QTest::newRow("standard output, by name") << closedPipe
                                            << "標準出力 に書き込めませんでした（書き出し先のパイプが閉じられました）。書き出しは途中で止まりました。";
  StoreError unencodable = error(StoreErrorKind::kUnencodable, StoreOperation::kSave);
  unencodable.characters = {"𠮷", "é", "\u200b", "\u0085", "\u00a0"};
  QTest::newRow("unencodable, by code point, the invisible by name")
      << unencodable
      << "次の文字は保存できません: 𠮷（U+20BB7） é（U+00E9） U+200B（ゼロ幅スペース） U+0085（制御文字） U+00A0（ノーブレークスペース）\n"
         "予定は保存されていません。";
  StoreError separated = error(StoreErrorKind::kHardLinksSeparated, StoreOperation::kSave);
  separated.otherNames = 2;
  QTest::newRow("hard links") << separated
                              << path + " を書き換えました。このファイルのほかの 2 個の名前（ハードリンク）には、以前の予定が残っています。";
}

void StoreMessagesTest::wordsNumbersAndCharacters() {
  QFETCH(StoreError, error);
  QFETCH(QString, message);
  QCOMPARE(hiduke::storeErrorMessage(error), message);
}

void StoreMessagesTest::noErrnoIsWordedInEnglish() {
  for (int errorNumber = 1; errorNumber <= 133; ++errorNumber) {
    const QString phrase = hiduke::errnoPhrase(errorNumber);
    QVERIFY2(!phrase.contains(kLatinLetter), qPrintable(phrase));
  }
}

QTEST_APPLESS_MAIN(StoreMessagesTest)

#include "store_messages_test.moc"
