#include "note_store/store_error.h"

#include <cerrno>
#include <cstring>

namespace hiduke {

namespace {

// strerror_r comes in two shapes (XSI returns int, GNU returns char*).
[[maybe_unused]] std::string StrerrorText(int result, const char* buffer) {
  return result == 0 ? std::string(buffer) : std::string();
}
[[maybe_unused]] std::string StrerrorText(const char* result, const char*) {
  return result != nullptr ? std::string(result) : std::string();
}

}  // namespace

std::string ErrnoReason(int error_number) {
  switch (error_number) {
    case EACCES:
    case EPERM:
      return "アクセスが拒否されました";
    case ENOSPC:
    case EDQUOT:
      return "ディスクの空き容量が不足しています";
    case EFBIG:
      return "ファイルが大きすぎます";
    case EISDIR:
      return "ディレクトリです";
    case ENOENT:
      return "ファイルまたはディレクトリが見つかりません";
    case EROFS:
      return "読み取り専用のファイルシステムです";
    case EIO:
      return "入出力エラーが発生しました";
    case ENOMEM:
      return "メモリが不足しています";
    case ELOOP:
      return "シンボリックリンクが多すぎるか循環しています";
    case EWOULDBLOCK:
      return "ほかのプログラムが使用中です";
    default:
      break;
  }
  char buffer[256] = {};
  std::string text = StrerrorText(strerror_r(error_number, buffer, sizeof buffer), buffer);
  if (text.empty()) text = "エラー番号 " + std::to_string(error_number);
  return text;
}

}  // namespace hiduke
