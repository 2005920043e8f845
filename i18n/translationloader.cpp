#include "translationloader.h"

#include "dialoglanguage.h"
#include "firststartlanguage.h"
#include "languagesettings.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

bool loadApplicationTranslation(QTranslator *translator, const QString &translationsDir,
                                const QLocale &system)
{
    QSettings settings;
    const QString storedPath = settings.value(dialogLanguageFilePathKey()).toString();

    if (!translator->load(storedPath)) {
        // No usable choice: take the system's language if there is a
        // catalogue for it, and keep it. A damaged one is passed over, so
        // that it neither stops the program nor becomes the choice.
        const DialogLanguage scanner(translationsDir);
        const QComboBox *list = scanner.languageCombo();
        QStringList codes;
        for (int i = 0; i < list->count(); ++i)
            codes << list->itemData(i, Qt::UserRole + 1).toString();
        int usable = -1;
        for (const qsizetype i : firstStartOrder(codes, system.name().left(2))) {
            if (translator->load(list->itemData(int(i), Qt::UserRole).toString())) {
                usable = int(i);
                break;
            }
        }
        if (usable < 0)
            return false;

        QSettings writer;
        writer.setValue(dialogLanguageFilePathKey(), list->itemData(usable, Qt::UserRole));
        writer.setValue(dialogLanguageIso639CodeKey(), list->itemData(usable, Qt::UserRole + 1));
    }

    QLocale::setDefault(QLocale(settings.value(dialogLanguageIso639CodeKey()).toString()));
    return true;
}

bool installTranslators(QObject *parent, const QString &translationsDir, const QLocale &system)
{
    auto *applicationTranslator = new QTranslator(parent);
    const bool loaded = loadApplicationTranslation(applicationTranslator, translationsDir, system);
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
