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

StoreError Error(StoreErrorKind kind, StoreOperation operation, int error_number = 0) {
  return StoreError{.kind = kind, .operation = operation, .error_number = error_number, .path = kPath};
}

}  // namespace

void StoreMessagesTest::wordsEachKindOfError_data() {
  QTest::addColumn<StoreError>("error");
  QTest::addColumn<QString>("message");
  const QString path = QString::fromUtf8(kPath);

  // A "%" in the path must not take in the reason.
  StoreError percent = Error(StoreErrorKind::kReadFailed, StoreOperation::kRead, EACCES);
  percent.path = "/home/100%1/hiduke.dat";
  QTest::newRow("read") << percent << "/home/100%1/hiduke.dat を読み込めませんでした（アクセスが拒否されました）。";
  QTest::newRow("read for a save") << Error(StoreErrorKind::kReadFailed, StoreOperation::kSave, EIO)
                                   << path + " を読み込めませんでした（入出力エラーが発生しました）。予定は保存されていません。";
  QTest::newRow("no regular file") << Error(StoreErrorKind::kNotRegularFile, StoreOperation::kRead)
                                   << path + " を読み込めませんでした（通常のファイルではありません）。";
  QTest::newRow("write for a delete") << Error(StoreErrorKind::kWriteFailed, StoreOperation::kDelete, EFBIG)
                                      << path + " に書き込めませんでした（ファイルが大きすぎます）。予定は削除されていません。";
  QTest::newRow("unknown errno") << Error(StoreErrorKind::kWriteFailed, StoreOperation::kSave, 4095)
                                 << path + " に書き込めませんでした（エラー番号 4095）。予定は保存されていません。";
  StoreError unencodable = Error(StoreErrorKind::kUnencodable, StoreOperation::kSave);
  unencodable.characters = {"😀", "é"};
  QTest::newRow("unencodable") << unencodable << "次の文字は保存できません: 😀 é\n予定は保存されていません。";
  StoreError date = Error(StoreErrorKind::kDateOutOfRange, StoreOperation::kSave);
  date.date = {32768, 3, 1};
  QTest::newRow("date") << date
                        << "32768年3月1日の予定は " + path + " に保存できません（日付が範囲外です）。予定は保存されていません。";
  QTest::newRow("converter") << Error(StoreErrorKind::kConverterMissing, StoreOperation::kRead, EINVAL)
                             << "文字コード CP932 の変換を利用できません（ファイル名または操作が無効です）。";
  QTest::newRow("memory") << Error(StoreErrorKind::kOutOfMemory, StoreOperation::kSave, ENOMEM)
                          << path + " を処理できませんでした（メモリが不足しています）。予定は保存されていません。";
  QTest::newRow("not durable")
      << Error(StoreErrorKind::kNotDurable, StoreOperation::kSave, EIO)
      << path + " を書き換えましたが、ディスクへの書き込みを確認できませんでした（入出力エラーが発生しました）。";
  QTest::newRow("attributes") << Error(StoreErrorKind::kAttributesNotCopied, StoreOperation::kSave, EPERM)
                              << path + " の拡張属性（ACL など）を新しいファイルに引き継げませんでした（アクセスが拒否されました）。予定は保存されていません。";
  QTest::newRow("owner") << Error(StoreErrorKind::kOwnerNotKept, StoreOperation::kDelete, EPERM)
                         << path + " はほかのユーザーのファイルのため、所有者を変えずに書き換えることができません。予定は削除されていません。";
  QTest::newRow("unsafe link")
      << Error(StoreErrorKind::kUnsafeLink, StoreOperation::kRead)
      << path + " は、誰でも書き込めるディレクトリにあるほかのユーザーのシンボリックリンクを通るため、開きませんでした。";
  QTest::newRow("directory")
      << Error(StoreErrorKind::kDirectoryNotWritable, StoreOperation::kSave, EACCES)
      << path + " を書き換えるには同じディレクトリにファイルを作成する必要がありますが、作成できませんでした（アクセスが拒否されました）。予定は保存されていません。";
}

void StoreMessagesTest::wordsEachKindOfError() {
  QFETCH(StoreError, error);
  QFETCH(QString, message);
  QCOMPARE(hiduke::StoreErrorMessage(error), message);
}

void StoreMessagesTest::noErrnoIsWordedInEnglish() {
  static const QRegularExpression kLatinLetter(QStringLiteral("[A-Za-z]"));
  for (int error_number = 1; error_number <= 133; ++error_number) {
    const QString phrase = hiduke::ErrnoPhrase(error_number);
    QVERIFY2(!phrase.contains(kLatinLetter), qPrintable(phrase));
  }
  // The errors a save or read can meet each have a phrase of their own.
  for (int error_number : {EACCES, EPERM, ENOSPC, EDQUOT, EFBIG, EISDIR, ENOTDIR, ENOENT, EROFS, EIO, ENOMEM, ELOOP,
                           EWOULDBLOCK, EINTR, EEXIST, ENAMETOOLONG, EMFILE, ENFILE, EBUSY, ETXTBSY, EXDEV, EMLINK,
                           ENXIO, ENODEV, EOVERFLOW, EINVAL, ENOTSUP, ESTALE, ENOLCK, ECANCELED}) {
    QVERIFY2(!hiduke::ErrnoPhrase(error_number).startsWith(QStringLiteral("エラー番号")),
             qPrintable(QString::number(error_number)));
  }
}

QTEST_APPLESS_MAIN(StoreMessagesTest)

#include "store_messages_test.moc"
