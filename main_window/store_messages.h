#pragma once

#include <QString>

#include "note_store/store_error.h"

namespace hiduke {

// The message that tells the user what went wrong with the note file, and
// whether the note was saved or deleted all the same.
QString StoreErrorMessage(const StoreError& error);

// A short phrase for an errno value, for use inside the messages
// ("アクセスが拒否されました"); 「エラー番号 N」 for a value without its own.
QString ErrnoPhrase(int error_number);

}  // namespace hiduke
