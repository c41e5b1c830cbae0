#include "app/ToolkitTexts.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdlib>

void LoadToolkitTranslations()
{
    static QTranslator* installed = nullptr;
    if (installed) {
        QApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    const char* lang = std::getenv("LANG");
    const QLocale locale(QString::fromUtf8(lang ? lang : "C"));
    auto* translator = new QTranslator(qApp);
    if (locale.language() != QLocale::C &&
        translator->load(locale, "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QApplication::installTranslator(translator)) {
        installed = translator;
        return;
    }
    delete translator;
}
