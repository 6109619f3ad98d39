#pragma once

#include <QString>

namespace hiduke {

// A short phrase for an errno value, for use inside the messages
// ("アクセスが拒否されました"); 「エラー番号 N」 for a value without its own.
QString errnoPhrase(int errorNumber);

}  // namespace hiduke
