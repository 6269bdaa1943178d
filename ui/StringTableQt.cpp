#include "ui/StringTableQt.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QTranslator>

namespace strings {
namespace {

// The translator installed by the last chooseLanguage; owned by the application.
QPointer<QTranslator> g_windowTranslator;

}  // namespace

QString text(int id) {
    return QString::fromStdString(Text(id));
}

QString chooseLanguage(QCoreApplication& app, const QString& requested) {
    // The table first: the language-change events that the translators send make the
    // window read its texts again, and they must find the new ones.
    const QString language = QString::fromStdString(ChooseLanguage(requested.toStdString()));

    if (g_windowTranslator) {
        app.removeTranslator(g_windowTranslator);
        delete g_windowTranslator.data();
    }
    g_windowTranslator = nullptr;
    const QString path = QStringLiteral(":/i18n/tarvex_window_%1.qm").arg(language);
    if (language != QLatin1String("en") && QFile::exists(path)) {
        auto* translator = new QTranslator(&app);
        if (translator->load(path) && app.installTranslator(translator)) {
            g_windowTranslator = translator;
        } else {
            delete translator;
        }
    }
    return language;
}

}  // namespace strings
