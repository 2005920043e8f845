#include "dialoglanguage.h"

#include "languagesettings.h"
#include "ui_dialoglanguage.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>

namespace {

constexpr int FilePathRole = Qt::UserRole;
constexpr int Iso639CodeRole = Qt::UserRole + 1;

} // namespace

DialogLanguage::DialogLanguage(const QString &translationsDir, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::DialogLanguage>())
{
    const QString storedPath = QSettings().value(dialogLanguageFilePathKey()).toString();

    ui->setupUi(this);

    // The user's own environment decides the preselection, not the language
    // the program happens to run in.
    const QLocale systemLocale = QLocale::system();

    QDir dir(translationsDir);
    dir.setNameFilters({QStringLiteral("*.qm")});
    dir.setFilter(QDir::Files);
    const QFileInfoList entries = dir.entryInfoList();

    for (const QFileInfo &entry : entries) {
        const QString path = entry.filePath();
        const QString code = path.mid(path.length() - 5, 2);
        const QLocale locale(code);

        // Toolkit catalogues are named in lower case; "QT_" is an application's.
        if (entry.fileName().startsWith(QLatin1String("qt_")))
            continue;

        QComboBox *combo = ui->languageCombo;
        combo->addItem(QLocale::languageToString(locale.language()));
        const int index = combo->count() - 1;
        combo->setItemData(index, path, FilePathRole);
        combo->setItemData(index, code, Iso639CodeRole);

        const bool preselect = storedPath.isEmpty() ? locale.language() == systemLocale.language()
                                                    : path == storedPath;
        if (preselect)
            combo->setCurrentIndex(index);
    }
}

DialogLanguage::~DialogLanguage() = default;

QComboBox *DialogLanguage::languageCombo() const
{
    return ui->languageCombo;
}

QString DialogLanguage::filePath() const
{
    return ui->languageCombo->currentData(FilePathRole).toString();
}

QString DialogLanguage::iso639Code() const
{
    return ui->languageCombo->currentData(Iso639CodeRole).toString();
}

void DialogLanguage::accept()
{
    QSettings settings;
    settings.setValue(dialogLanguageFilePathKey(), filePath());
    settings.setValue(dialogLanguageIso639CodeKey(), iso639Code());
    QDialog::accept();
}
