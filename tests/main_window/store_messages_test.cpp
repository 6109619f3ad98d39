// The messages the window shows for note store errors, and the errno
// phrases inside them.
#include <QRegularExpression>
#include <QTest>

#include <cerrno>

#include "main_window/store_messages.h"

using hiduke::StoreError;
using hiduke::StoreErrorKind;
using hiduke::StoreOperation;

Q_DECLARE_METATYPE(hiduke::StoreError)

class StoreMessagesTest : public QObject {
  Q_OBJECT

 private slots:
  void wordsEachKindOfError_data();
  void wordsEachKindOfError();
  void noErrnoIsWordedInEnglish();
};

namespace {

constexpr char kPath[] = "/home/user/hiduke.dat";

StoreError error(StoreErrorKind kind, StoreOperation operation, int errorNumber = 0) {
  return StoreError{.kind = kind, .operation = operation, .errorNumber = errorNumber, .path = kPath};
}

}  // namespace

void StoreMessagesTest::wordsEachKindOfError_data() {
  QTest::addColumn<StoreError>("error");
  QTest::addColumn<QString>("message");
  const QString path = QString::fromUtf8(kPath);

  // A "%" in the path must not take in the reason.
  StoreError percent = error(StoreErrorKind::kReadFailed, StoreOperation::kRead, EACCES);
  percent.path = "/home/100%1/hiduke.dat";
  QTest::newRow("read") << percent << "/home/100%1/hiduke.dat を読み込めませんでした（アクセスが拒否されました）。";
  QTest::newRow("read for a save") << error(StoreErrorKind::kReadFailed, StoreOperation::kSave, EIO)
                                   << path + " を読み込めませんでした（入出力エラーが発生しました）。予定は保存されていません。";
  QTest::newRow("no regular file") << error(StoreErrorKind::kNotRegularFile, StoreOperation::kRead)
                                   << path + " を読み込めませんでした（通常のファイルではありません）。";
  QTest::newRow("write for a delete") << error(StoreErrorKind::kWriteFailed, StoreOperation::kDelete, EFBIG)
                                      << path + " に書き込めませんでした（ファイルが大きすぎます）。予定は削除されていません。";
  QTest::newRow("unknown errno") << error(StoreErrorKind::kWriteFailed, StoreOperation::kSave, 4095)
                                 << path + " に書き込めませんでした（エラー番号 4095）。予定は保存されていません。";
  StoreError unencodable = error(StoreErrorKind::kUnencodable, StoreOperation::kSave);
  unencodable.characters = {"😀", "é", "\u200b", "\u0085", "\u00a0"};
  QTest::newRow("unencodable, the invisible by code point and name")
      << unencodable
      << "次の文字は保存できません: 😀 é U+200B（ゼロ幅スペース） U+0085（制御文字） U+00A0（ノーブレークスペース）\n"
         "予定は保存されていません。";
  QTest::newRow("directory gone") << error(StoreErrorKind::kDirectoryGone, StoreOperation::kSave)
                                  << path + " のあったディレクトリは削除されています。予定は保存されていません。";
  QTest::newRow("being written") << error(StoreErrorKind::kBeingWritten, StoreOperation::kSave)
                                 << path + " はほかのプログラムが書き込み中です。しばらくしてからもう一度試してください。予定は保存されていません。";
  StoreError separated = error(StoreErrorKind::kHardLinksSeparated, StoreOperation::kSave);
  separated.otherNames = 2;
  separated.path = "/home/100%1/hiduke.dat";
  QTest::newRow("hard links, a % in the path") << separated
                              << "/home/100%1/hiduke.dat を書き換えました。このファイルのほかの 2 個の名前（ハードリンク）には、以前の予定が残っています。";
  StoreError date = error(StoreErrorKind::kDateOutOfRange, StoreOperation::kSave);
  date.date = std::chrono::year(-1) / 3 / 1;
  QTest::newRow("date") << date
                        << "-1年3月1日の予定は " + path + " に保存できません（日付が範囲外です）。予定は保存されていません。";
  QTest::newRow("converter") << error(StoreErrorKind::kConverterMissing, StoreOperation::kRead, EINVAL)
                             << "文字コード CP932 の変換を利用できません（ファイル名または操作が無効です）。";
  QTest::newRow("converter, for a save") << error(StoreErrorKind::kConverterMissing, StoreOperation::kSave, EMFILE)
                             << "文字コード CP932 の変換を利用できません（開いているファイルが多すぎます）。予定は保存されていません。";
  QTest::newRow("memory") << error(StoreErrorKind::kOutOfMemory, StoreOperation::kSave, ENOMEM)
                          << path + " を処理できませんでした（メモリが不足しています）。予定は保存されていません。";
  QTest::newRow("not durable")
      << error(StoreErrorKind::kNotDurable, StoreOperation::kSave, EIO)
      << path + " を書き換えましたが、ディスクへの書き込みを確認できませんでした（入出力エラーが発生しました）。";
  QTest::newRow("attributes") << error(StoreErrorKind::kAttributesNotCopied, StoreOperation::kSave, EPERM)
                              << path + " の拡張属性（ACL など）を新しいファイルに引き継げませんでした（アクセスが拒否されました）。予定は保存されていません。";
  QTest::newRow("owner") << error(StoreErrorKind::kOwnerNotKept, StoreOperation::kDelete, EPERM)
                         << path + " はほかのユーザーのファイルのため、所有者を変えずに書き換えることができません。予定は削除されていません。";
  QTest::newRow("unsafe link")
      << error(StoreErrorKind::kUnsafeLink, StoreOperation::kRead)
      << path + " は、誰でも書き込めるディレクトリにあるほかのユーザーのシンボリックリンクを通るため、開きませんでした。";
  QTest::newRow("directory")
      << error(StoreErrorKind::kDirectoryNotWritable, StoreOperation::kSave, EACCES)
      << path + " を書き換えるには同じディレクトリにファイルを作成する必要がありますが、作成できませんでした（アクセスが拒否されました）。予定は保存されていません。";
}

void StoreMessagesTest::wordsEachKindOfError() {
  QFETCH(StoreError, error);
  QFETCH(QString, message);
  QCOMPARE(hiduke::storeErrorMessage(error), message);
}

void StoreMessagesTest::noErrnoIsWordedInEnglish() {
  static const QRegularExpression kLatinLetter(QStringLiteral("[A-Za-z]"));
  for (int errorNumber = 1; errorNumber <= 133; ++errorNumber) {
    const QString phrase = hiduke::errnoPhrase(errorNumber);
    QVERIFY2(!phrase.contains(kLatinLetter), qPrintable(phrase));
  }
}

QTEST_APPLESS_MAIN(StoreMessagesTest)

#include "store_messages_test.moc"
