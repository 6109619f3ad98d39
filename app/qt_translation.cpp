#include "app/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QtDebug>

namespace hiduke {

void installQtJapanese(QCoreApplication& app) {
  auto* translator = new QTranslator(&app);
  const QString directory = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!translator->load(QStringLiteral("qtbase_ja"), directory)) {
    // Still usable, only with English in Qt's own menus and buttons.
    qWarning("qtbase_ja not found in %s; Qt's menus stay in English", qPrintable(directory));
    delete translator;
    return;
  }
  QCoreApplication::installTranslator(translator);
}

}  // namespace hiduke
