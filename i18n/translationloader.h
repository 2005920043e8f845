#pragma once

#include <QString>

class QObject;
class QTranslator;

// Loads the chosen application catalogue (or the first one of the folder
// that loads, remembering it as the choice) into translator and makes its
// language the default locale. False when no catalogue could be loaded.
bool loadApplicationTranslation(QTranslator *translator, const QString &translationsDir);

// Installs the application catalogue and then the toolkit's catalogue for the
// same language; both translators are children of parent, so deleting parent
// uninstalls them. The result is that of the application catalogue alone.
bool installTranslators(QObject *parent, const QString &translationsDir);
