#include "main_window/store_messages.h"

#include <QList>
#include <algorithm>
#include <cerrno>
#include <vector>

#include "main_window/day_description.h"
#include "main_window/errno_phrases.h"

namespace hiduke {

namespace {

// Said after a failure that left the file as it was.
QString unchangedNotice(StoreOperation operation) {
  switch (operation) {
    case StoreOperation::kSave:
      return QStringLiteral("予定は保存されていません。");
    case StoreOperation::kDelete:
      return QStringLiteral("予定は削除されていません。");
    case StoreOperation::kExport:
      return QStringLiteral("書き出しは行われていません。");
    case StoreOperation::kImport:
      return QStringLiteral("読み込みは行われていません。");
    case StoreOperation::kRead:
    case StoreOperation::kSearch:
      break;
  }
  return QString();
}

QString unencodableMessage(const StoreError& error) {
  QString message = QStringLiteral("次の文字は保存できません:");
  for (const std::string& character : error.characters) message += QLatin1Char(' ') + characterText(QString::fromStdString(character));
  return message + QLatin1Char('\n') + unchangedNotice(error.operation);
}

QString dateOutOfRangeMessage(const StoreError& error, const QString& path) {
  return QStringLiteral("%1の予定は %2 に保存できません（日付が範囲外です）。").arg(dateText(error.date), path) +
         unchangedNotice(error.operation);
}

// The name of a character that cannot be seen; empty for one that can.
QString invisibleCharacterName(char32_t codePoint) {
  switch (codePoint) {
    case 0x00A0: return QStringLiteral("ノーブレークスペース");
    case 0x00AD: return QStringLiteral("ソフトハイフン");
    case 0x200B: return QStringLiteral("ゼロ幅スペース");
    case 0x200C: return QStringLiteral("ゼロ幅非接合子");
    case 0x200D: return QStringLiteral("ゼロ幅接合子");
    case 0x200E: return QStringLiteral("左から右への書字方向マーク");
    case 0x200F: return QStringLiteral("右から左への書字方向マーク");
    case 0x2028: return QStringLiteral("行区切り");
    case 0x2029: return QStringLiteral("段落区切り");
    case 0x2060: return QStringLiteral("単語結合子");
    case 0xFEFF: return QStringLiteral("ゼロ幅ノーブレークスペース");
    default: break;
  }
  switch (QChar::category(codePoint)) {
    case QChar::Other_Control: return QStringLiteral("制御文字");
    case QChar::Other_Format: return QStringLiteral("書式制御文字");
    case QChar::Separator_Space: return QStringLiteral("空白文字");
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph: return QStringLiteral("区切り文字");
    default: return QString();
  }
}

}  // namespace

QString characterText(const QString& character) {
  const QList<uint> codePoints = character.toUcs4();
  if (codePoints.size() != 1) return character;
  // The code point too: a font may lack the glyph (𠮷 shown as □).
  const QString codePoint =
      QStringLiteral("U+") + QString::number(codePoints.front(), 16).rightJustified(4, QLatin1Char('0')).toUpper();
  const QString name = invisibleCharacterName(codePoints.front());
  if (name.isEmpty()) return QStringLiteral("%1（%2）").arg(character, codePoint);
  return QStringLiteral("%1（%2）").arg(codePoint, name);
}

QString storeErrorMessage(const StoreError& error) {
  const bool toStandardOutput = error.operation == StoreOperation::kExport && error.path == "-";
  const QString path = toStandardOutput ? QStringLiteral("標準出力") : QString::fromStdString(error.path);
  const QString reason = errnoPhrase(error.errorNumber);
  const QString notice = unchangedNotice(error.operation);
  switch (error.kind) {
    case StoreErrorKind::kReadFailed:
      return QStringLiteral("%1 を読み込めませんでした（%2）。").arg(path, reason) + notice;
    case StoreErrorKind::kNotRegularFile:
      return (error.operation == StoreOperation::kExport
                  ? QStringLiteral("%1 に書き出せませんでした（通常のファイルではありません）。")
                  : QStringLiteral("%1 を読み込めませんでした（通常のファイルではありません）。"))
                 .arg(path) +
             notice;
    case StoreErrorKind::kWriteFailed:
      if (error.operation == StoreOperation::kSearch) {
        return QStringLiteral("検索用の一時ファイルを %1 に書き込めませんでした（%2）。このフォルダーは環境変数 TMPDIR で変えられます。")
            .arg(path, reason);
      }
      // Found closed before the export began.
      if (toStandardOutput && error.errorNumber == EBADF) return QStringLiteral("標準出力が閉じています。") + notice;
      // What went to the standard output before the failure has gone.
      return QStringLiteral("%1 に書き込めませんでした（%2）。").arg(path, reason) +
             (toStandardOutput ? QStringLiteral("書き出しは途中で止まりました。") : notice);
    case StoreErrorKind::kUnencodable:
      return unencodableMessage(error);
    case StoreErrorKind::kSemicolon:
      return QStringLiteral("予定に半角の「;」があります。「;」は %1 では改行を表すため、そのままでは保存できません。"
                            "全角の「；」を使ってください。").arg(path) +
             notice;
    case StoreErrorKind::kDateOutOfRange:
      return dateOutOfRangeMessage(error, path);
    case StoreErrorKind::kConverterMissing:
      return QStringLiteral("文字コード CP932 の変換を利用できません（%1）。").arg(reason) + notice;
    case StoreErrorKind::kOutOfMemory:
      return QStringLiteral("%1 を処理できませんでした（%2）。").arg(path, errnoPhrase(ENOMEM)) + notice;
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
    case StoreErrorKind::kDirectoryGone:
      return QStringLiteral("%1 のあったディレクトリは削除されています。").arg(path) + notice;
    case StoreErrorKind::kChangedOnDisk:
      return QStringLiteral("%1 のこの日の予定は、開いた後にほかのところで変更されています。").arg(path) + notice;
    case StoreErrorKind::kBeingWritten:
      return QStringLiteral("%1 はほかのプログラムが書き込み中です。しばらくしてからもう一度試してください。").arg(path) +
             notice;
    case StoreErrorKind::kHardLinksSeparated:
      return QStringLiteral("%1 を書き換えました。このファイルのほかの %2 個の名前（ハードリンク）には、以前の予定が残っています。")
          .arg(path, QString::number(error.otherNames));
    case StoreErrorKind::kExportOverNoteFile:
      return QStringLiteral("%1 は予定のファイルそのものです。予定が失われるため、ここには書き出せません。ほかのファイル名を選んでください。")
                 .arg(path) +
             notice;
    case StoreErrorKind::kCancelled:
      return (error.operation == StoreOperation::kExport ? QStringLiteral("%1 への書き出しを取り消しました。")
                                                         : QStringLiteral("%1 からの読み込みを取り消しました。"))
                 .arg(path) +
             notice;
    case StoreErrorKind::kNotICalendar:
      return QStringLiteral("%1 は iCalendar（バージョン 2.0）のファイルではありません。").arg(path) + notice;
    case StoreErrorKind::kDirectoryNotWritable:
      return QStringLiteral("%1 を書き換えるには同じディレクトリにファイルを作成する必要がありますが、作成できませんでした（%2）。")
                 .arg(path, reason) +
             notice;
  }
  Q_UNREACHABLE();
}

QString exportSummary(const ExportReport& report) {
  QString summary = QStringLiteral("%1 件の予定を書き出しました。").arg(report.events);
  if (report.otherLines != 0) summary += QStringLiteral("予定として読めない行 %1 行は書き出していません。").arg(report.otherLines);
  if (report.outsideYears != 0) {
    summary += QStringLiteral("1年から9999年までの外の予定 %1 件は書き出していません。").arg(report.outsideYears);
  }
  if (report.controlCharacters != 0) {
    summary += QStringLiteral("予定の中の制御文字 %1 文字は書き出していません。").arg(report.controlCharacters);
  }
  return summary;
}

}  // namespace hiduke
