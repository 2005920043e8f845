#include "translationloader.h"

#include "dialoglanguage.h"
#include "languagesettings.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

bool loadApplicationTranslation(QTranslator *translator, const QString &translationsDir)
{
    QSettings settings;
    const QString storedPath = settings.value(dialogLanguageFilePathKey()).toString();

    if (!translator->load(storedPath)) {
        // No usable choice: take the first catalogue of the folder and keep it.
        const DialogLanguage scanner(translationsDir);
        const QComboBox *list = scanner.languageCombo();
        if (list->count() == 0)
            return false;

        const QString path = list->itemData(0, Qt::UserRole).toString();
        const QString code = list->itemData(0, Qt::UserRole + 1).toString();
        QSettings writer;
        writer.setValue(dialogLanguageFilePathKey(), path);
        writer.setValue(dialogLanguageIso639CodeKey(), code);
        if (!translator->load(path))
            return false;
    }

    QLocale::setDefault(QLocale(settings.value(dialogLanguageIso639CodeKey()).toString()));
    return true;
}

bool installTranslators(QObject *parent, const QString &translationsDir)
{
    auto *applicationTranslator = new QTranslator(parent);
    const bool loaded = loadApplicationTranslation(applicationTranslator, translationsDir);
    if (loaded)
        QCoreApplication::installTranslator(applicationTranslator);

    // Installed last so that it is searched first; it only holds the
    // toolkit's own contexts, so it shadows nothing of ours.
    const QString code = QLocale().name().left(2);
    auto *toolkitTranslator = new QTranslator(parent);
    if (toolkitTranslator->load(QStringLiteral("%1/qt_%2.qm").arg(translationsDir, code)))
        QCoreApplication::installTranslator(toolkitTranslator);

    return loaded;
}
