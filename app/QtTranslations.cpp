#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool InstallQtTranslations()
{
    auto* app = QCoreApplication::instance();
    if (!app) return false;
    if (app->findChild<QTranslator*>(QStringLiteral("qtTranslations"))) return true;
    auto* translator = new QTranslator(app);
    translator->setObjectName(QStringLiteral("qtTranslations"));
    // The interface is Chinese whatever the machine's locale, so Qt's parts are too.
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}
