#include "main_window/start_messages.h"

namespace hiduke {

QString usageText() {
  return QStringLiteral(
      "使い方: hiduke [オプション]\n"
      "\n"
      "月ごとのカレンダーに、日ごとの予定を書き留めます。\n"
      "予定は、起動したディレクトリの hiduke.dat に保存されます。\n"
      "\n"
      "  -h, --help            この使い方を表示して終了します\n"
      "  -v, --version         バージョンを表示して終了します\n"
      "  --export-ical ファイル  すべての予定を iCalendar 形式でファイルに書き出して\n"
      "                        終了します（- は標準出力）\n"
      "  --import-ical ファイル  iCalendar 形式のファイルの予定を、その日の予定に\n"
      "                        書き足して終了します（- は標準入力）\n"
      "  --from 年-月-日         繰り返す予定を展開する範囲の始め（既定: 1年前の今日）\n"
      "  --to 年-月-日           繰り返す予定を展開する範囲の終わり（既定: 2年後の今日）\n"
      "  --merge-conflicts     同期ソフトが残した予定のファイルの写し（競合コピー）を\n"
      "                        hiduke.dat にまとめて終了します\n"
      "\n"
      "Qt の標準オプション（-platform、-style など）も使えます。\n");
}

QString versionText() { return QStringLiteral("日付カレンダー hiduke バージョン " HIDUKE_VERSION "\n"); }

QString unknownArgumentMessage(const QString& argument) {
  return QStringLiteral("hiduke: 分からない引数です: %1\n\n").arg(argument) + usageText();
}

QString missingFileNameMessage(const QString& option) {
  const QString what = option == QStringLiteral("--export-ical")   ? QStringLiteral("書き出すファイルの名前がありません（- は標準出力）")
                       : option == QStringLiteral("--import-ical") ? QStringLiteral("読み込むファイルの名前がありません（- は標準入力）")
                                                                   : QStringLiteral("日付がありません");
  return QStringLiteral("hiduke: %1 のあとに、%2。\n\n").arg(option, what) +
         usageText();
}

QString badDateMessage(const QString& arguments) {
  return QStringLiteral("hiduke: 日付が読めないか、範囲の始めが終わりより後です: %1\n"
                        "日付は 2024-01-31 のように、0年から32767年までの年-月-日で書いてください。\n\n")
             .arg(arguments) +
         usageText();
}

QString directoryGoneAtStartMessage() {
  return QStringLiteral("起動したディレクトリは削除されています。ほかのディレクトリで起動してください。\n");
}

QString noDisplayMessage() {
  return QStringLiteral(
      "ウィンドウを開く画面に接続できません（環境変数 DISPLAY が設定されていないか、その画面に接続できません）。"
      "画面のない環境で使えるのは --help、--version、--export-ical、--import-ical と --merge-conflicts です。\n");
}

}  // namespace hiduke
