#pragma once

#include <QLocale>
#include <QString>

class QObject;
class QTranslator;

// Loads the chosen application catalogue into translator and makes its
// language the default locale. Without a usable choice it takes the first
// catalogue that loads in firstStartOrder() for the system's language and
// remembers it as the choice. False when no catalogue could be loaded.
bool loadApplicationTranslation(QTranslator *translator, const QString &translationsDir,
                                const QLocale &system = QLocale::system());

// Installs the application catalogue and then the toolkit's catalogue for the
// same language; both translators are children of parent, so deleting parent
// uninstalls them. The result is that of the application catalogue alone.
bool installTranslators(QObject *parent, const QString &translationsDir,
                        const QLocale &system = QLocale::system());
