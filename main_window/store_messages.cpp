#include "main_window/store_messages.h"

#include <algorithm>
#include <cerrno>
#include <vector>

namespace hiduke {

namespace {

// Said after a failure that left the file as it was.
QString UnchangedNotice(StoreOperation operation) {
  switch (operation) {
    case StoreOperation::kSave:
      return QStringLiteral("予定は保存されていません。");
    case StoreOperation::kDelete:
      return QStringLiteral("予定は削除されていません。");
    case StoreOperation::kRead:
      break;
  }
  return QString();
}

QString UnencodableMessage(const StoreError& error) {
  QString message = QStringLiteral("次の文字は保存できません:");
  for (const std::string& character : error.characters) message += QLatin1Char(' ') + QString::fromStdString(character);
  return message + QLatin1Char('\n') + UnchangedNotice(error.operation);
}

QString DateOutOfRangeMessage(const StoreError& error, const QString& path) {
  return QStringLiteral("%1年%2月%3日の予定は %4 に保存できません（日付が範囲外です）。")
             .arg(QString::number(error.date.year), QString::number(error.date.month),
                  QString::number(error.date.day), path) +
         UnchangedNotice(error.operation);
}

}  // namespace

QString StoreErrorMessage(const StoreError& error) {
  const QString path = QString::fromStdString(error.path);
  const QString reason = ErrnoPhrase(error.error_number);
  const QString notice = UnchangedNotice(error.operation);
  switch (error.kind) {
    case StoreErrorKind::kReadFailed:
      return QStringLiteral("%1 を読み込めませんでした（%2）。").arg(path, reason) + notice;
    case StoreErrorKind::kNotRegularFile:
      return QStringLiteral("%1 を読み込めませんでした（通常のファイルではありません）。").arg(path) + notice;
    case StoreErrorKind::kWriteFailed:
      return QStringLiteral("%1 に書き込めませんでした（%2）。").arg(path, reason) + notice;
    case StoreErrorKind::kUnencodable:
      return UnencodableMessage(error);
    case StoreErrorKind::kDateOutOfRange:
      return DateOutOfRangeMessage(error, path);
    case StoreErrorKind::kConverterMissing:
      return QStringLiteral("文字コード CP932 の変換を利用できません（%1）。").arg(reason);
    case StoreErrorKind::kOutOfMemory:
      return QStringLiteral("%1 を処理できませんでした（%2）。").arg(path, ErrnoPhrase(ENOMEM)) + notice;
    case StoreErrorKind::kNotDurable:
      return QStringLiteral("%1 を書き換えましたが、ディスクへの書き込みを確認できませんでした（%2）。").arg(path, reason);
    case StoreErrorKind::kAttributesNotCopied:
      return QStringLiteral("%1 の拡張属性（ACL など）を新しいファイルに引き継げませんでした（%2）。").arg(path, reason) +
             notice;
    case StoreErrorKind::kOwnerNotKept:
      return QStringLiteral("%1 はほかのユーザーのファイルのため、所有者を変えずに書き換えることができません。").arg(path) +
             notice;
    case StoreErrorKind::kUnsafeLink:
      return QStringLiteral("%1 は、誰でも書き込めるディレクトリにあるほかのユーザーのシンボリックリンクを通るため、開きませんでした。")
                 .arg(path) +
             notice;
    case StoreErrorKind::kDirectoryNotWritable:
      return QStringLiteral("%1 を書き換えるには同じディレクトリにファイルを作成する必要がありますが、作成できませんでした（%2）。")
                 .arg(path, reason) +
             notice;
  }
  Q_UNREACHABLE();
}

QString ErrnoPhrase(int error_number) {
  struct Row {
    std::vector<int> values;  // that mean the same to the user
    const char* phrase;
  };
  static const Row kPhrases[] = {
      {{EACCES, EPERM}, "アクセスが拒否されました"},
      {{ENOSPC, EDQUOT}, "ディスクの空き容量が不足しています"},
      {{EFBIG}, "ファイルが大きすぎます"},
      {{EISDIR}, "ディレクトリです"},
      {{ENOTDIR}, "パスの途中にディレクトリでないものがあります"},
      {{ENOENT}, "ファイルまたはディレクトリが見つかりません"},
      {{EROFS}, "読み取り専用のファイルシステムです"},
      {{EIO}, "入出力エラーが発生しました"},
      {{ENOMEM}, "メモリが不足しています"},
      {{ELOOP}, "シンボリックリンクが多すぎるか循環しています"},
      {{EWOULDBLOCK}, "ほかのプログラムが使用中です"},  // also EAGAIN: another copy holds the lock
      {{EINTR}, "処理が中断されました"},
      {{EEXIST}, "同じ名前のファイルがすでにあります"},
      {{ENAMETOOLONG}, "ファイル名が長すぎます"},
      {{EMFILE, ENFILE}, "開いているファイルが多すぎます"},
      {{EBUSY, ETXTBSY}, "ファイルまたは装置が使用中です"},
      {{EXDEV}, "別のファイルシステムへは移せません"},
      {{EMLINK}, "リンクが多すぎます"},
      {{ENXIO, ENODEV}, "装置が見つかりません"},
      {{EOVERFLOW}, "ファイルが大きすぎて扱えません"},
      {{EINVAL}, "ファイル名または操作が無効です"},
      {{ENOTSUP}, "このファイルシステムでは行えない操作です"},  // also EOPNOTSUPP
      {{ESTALE}, "ファイルがほかの場所で置き換えられました"},
      {{ENOTCONN, ETIMEDOUT}, "ネットワーク上のファイルに接続できません"},
      {{ENOLCK}, "ファイルをロックできません"},
      {{ECANCELED}, "処理が取り消されました"},
  };
  for (const auto& [values, phrase] : kPhrases) {
    if (std::find(values.begin(), values.end(), error_number) != values.end()) return QString::fromUtf8(phrase);
  }
  return QStringLiteral("エラー番号 %1").arg(error_number);
}

}  // namespace hiduke
