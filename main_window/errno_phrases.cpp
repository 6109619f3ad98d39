#include "main_window/errno_phrases.h"

#include <algorithm>
#include <cerrno>
#include <vector>

namespace hiduke {

QString errnoPhrase(int errorNumber) {
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
      {{EBADF}, "ファイルが閉じられています"},
      {{EPIPE}, "書き出し先のパイプが閉じられました"},
  };
  for (const auto& [values, phrase] : kPhrases) {
    if (std::find(values.begin(), values.end(), errorNumber) != values.end()) return QString::fromUtf8(phrase);
  }
  return QStringLiteral("エラー番号 %1").arg(errorNumber);
}

}  // namespace hiduke
