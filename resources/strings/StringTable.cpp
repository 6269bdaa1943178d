#include "StringTable.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QPointer>
#include <QStringList>
#include <QTranslator>
#include <array>

// The translations are compiled into this static library; make sure their resource is
// registered even when the linker would otherwise see no reference to it.
static void InitStringResources() {
    Q_INIT_RESOURCE(strings_qm);
}

namespace strings {
namespace {

struct Entry {
    int id;
    const char* english;
};

// The English texts are also the translation keys of the context "StringTable".
constexpr std::array<Entry, 36> kTable = {{
    {101, QT_TRANSLATE_NOOP("StringTable", "About Tarvex(&A)...")},
    {102, QT_TRANSLATE_NOOP("StringTable", "This data is not compatible with KR640.")},
    {103, QT_TRANSLATE_NOOP("StringTable", "Read error")},
    {104, QT_TRANSLATE_NOOP("StringTable", "Write error")},
    {105, QT_TRANSLATE_NOOP("StringTable", "The writing suceeded.")},
    {106, QT_TRANSLATE_NOOP("StringTable",
                            "The data will be initialized to the default setting. Are you sure?")},
    {107, QT_TRANSLATE_NOOP("StringTable",
                            "If this parameter is modified, other parameters have to be "
                            "initialized. Are you sure?")},
    {108, QT_TRANSLATE_NOOP("StringTable", "File read error.")},
    {109, QT_TRANSLATE_NOOP("StringTable", "The file ")},
    {110, QT_TRANSLATE_NOOP("StringTable", " already exist. May I overwrite the file?")},
    {111, QT_TRANSLATE_NOOP("StringTable", "Save file")},
    {112, QT_TRANSLATE_NOOP("StringTable", "File write error.")},
    {113, QT_TRANSLATE_NOOP("StringTable", "There is not enough space in the drive.")},
    {114, QT_TRANSLATE_NOOP("StringTable", "Unknown error")},
    {115, QT_TRANSLATE_NOOP("StringTable", "The connection failed.")},
    {116, QT_TRANSLATE_NOOP("StringTable", "A KR640 is not connected.")},
    {117, QT_TRANSLATE_NOOP("StringTable", "The connection succeeded.")},
    {118, QT_TRANSLATE_NOOP("StringTable", "The device driver for TBX-3 is not installed.")},
    {119, QT_TRANSLATE_NOOP("StringTable", "A TBX-3 is not connected.")},
    {120, QT_TRANSLATE_NOOP("StringTable", "The TBX-3 is not working.")},
    {121, QT_TRANSLATE_NOOP("StringTable", "Please set the first limit point.")},
    {122, QT_TRANSLATE_NOOP("StringTable", "Please set the second limit point.")},
    {123, QT_TRANSLATE_NOOP("StringTable", "Push the write button.")},
    {124, QT_TRANSLATE_NOOP("StringTable", "Right")},
    {125, QT_TRANSLATE_NOOP("StringTable", "Left")},
    {126, QT_TRANSLATE_NOOP("StringTable", "Right/In")},
    {127, QT_TRANSLATE_NOOP("StringTable", "Right/Out")},
    {128, QT_TRANSLATE_NOOP("StringTable", "Left/In")},
    {129, QT_TRANSLATE_NOOP("StringTable", "Left/Out")},
    {130, QT_TRANSLATE_NOOP("StringTable", "Out of valid range.")},
    {131, QT_TRANSLATE_NOOP("StringTable", "You cannot set limit points for same direction.")},
    {132, QT_TRANSLATE_NOOP("StringTable", "Limit setting was aborted.")},
    {133, QT_TRANSLATE_NOOP("StringTable",
                            "The data have not been written to the gyro yet. Do you want to "
                            "write data to the gyro?")},
    {134, QT_TRANSLATE_NOOP("StringTable", "The values will not be stored.")},
    // The backup before a Write: %1 is the backups folder, %2 the reason it failed.
    {135, QT_TRANSLATE_NOOP("StringTable",
                            "The gyro's current settings could not be backed up to %1 (%2). "
                            "Write anyway?")},
    {136, QT_TRANSLATE_NOOP("StringTable",
                            "The gyro's current settings could not be backed up to %1 (%2). "
                            "Nothing was written; --no-backup writes without a backup.")},
}};

// The translators installed by the last chooseLanguage; owned by the application.
QPointer<QTranslator> g_tableTranslator;
QPointer<QTranslator> g_windowTranslator;

void RemoveTranslator(QCoreApplication& app, QPointer<QTranslator>& translator) {
    if (translator) {
        app.removeTranslator(translator);
        delete translator.data();
    }
    translator = nullptr;
}

// Loads an embedded .qm file into a new translator owned by app and installs it. A
// missing or unreadable file installs nothing.
QPointer<QTranslator> InstallTranslator(QCoreApplication& app, const QString& path) {
    if (!QFile::exists(path)) return nullptr;
    auto* translator = new QTranslator(&app);
    if (!translator->load(path) || !app.installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

bool IsLanguage(const QString& tag, const char* code) {
    const QString lower = tag.toLower();
    return lower.startsWith(QLatin1String(code)) &&
           (lower.size() == 2 || lower.at(2) == u'-' || lower.at(2) == u'_');
}

}  // namespace

QString PickFromInterfaceLanguages(const QStringList& languages) {
    // The first of the user's languages that the program has wins, as the platform's
    // resource loader picks: an English user with German as a fallback gets English.
    for (const QString& tag : languages) {
        for (const char* code : {"en", "de", "ja"}) {
            if (IsLanguage(tag, code)) return QString::fromLatin1(code);
        }
    }
    return QStringLiteral("en");
}

namespace {

QString PickLanguage(const QString& requested) {
    for (const char* code : {"en", "de", "ja"}) {
        if (IsLanguage(requested, code)) return QString::fromLatin1(code);
    }
    if (!requested.isEmpty()) return QStringLiteral("en");
    return PickFromInterfaceLanguages(QLocale::system().uiLanguages());
}

}  // namespace

QString text(int id) {
    for (const Entry& entry : kTable) {
        if (entry.id == id) return QCoreApplication::translate("StringTable", entry.english);
    }
    return QString();
}

QString chooseLanguage(QCoreApplication& app, const QString& requested) {
    InitStringResources();
    RemoveTranslator(app, g_tableTranslator);
    RemoveTranslator(app, g_windowTranslator);

    const QString language = PickLanguage(requested);
    if (language != QLatin1String("en")) {
        g_tableTranslator =
            InstallTranslator(app, QStringLiteral(":/i18n/tarvex_strings_%1.qm").arg(language));
        g_windowTranslator =
            InstallTranslator(app, QStringLiteral(":/i18n/tarvex_window_%1.qm").arg(language));
    }
    return language;
}

}  // namespace strings
