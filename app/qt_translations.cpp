#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace quillet {

bool loadQtTranslations(QCoreApplication& application) {
  const QLocale system = QLocale::system();
  const QLocale locale =
      system.language() == QLocale::Chinese ? system : QLocale(QLocale::Chinese, QLocale::China);
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  auto* translator = new QTranslator(&application);
  // "qt" gathers the modules' catalogs; "qtbase" alone holds the dialogs.
  for (const char* catalog : {"qt", "qtbase"}) {
    if (translator->load(locale, QLatin1String(catalog), QStringLiteral("_"), folder)) {
      return QCoreApplication::installTranslator(translator);
    }
  }
  delete translator;
  return false;
}

}  // namespace quillet
