#include "dialoglanguage.h"
#include "languagesettings.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

#include <functional>
#include <memory>

class TestDialogLanguage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void listsApplicationCataloguesInNameOrder();
    void sameLanguageTwiceKeepsBothPaths();
    void missingFolderGivesEmptyList();
    void preselection_data();
    void preselection();
    void okStoresTheChoice();
    void okWithoutChangeStillStores();
    void dismissingStoresNothing_data();
    void dismissingStoresNothing();
    void titleIsTranslatedInItsOwnContext();

private:
    void addFiles(const QStringList &names);
    // Runs the dialog modally and lets act play the user once it is up.
    static int execWith(DialogLanguage &dialog, const std::function<void(DialogLanguage *)> &act);
    static QPushButton *button(DialogLanguage *dialog, QDialogButtonBox::StandardButton which);
    static QString storedPath()
    {
        return QSettings().value(dialogLanguageFilePathKey()).toString();
    }
    static QString storedCode()
    {
        return QSettings().value(dialogLanguageIso639CodeKey()).toString();
    }

    std::unique_ptr<QTemporaryDir> workDir;
    QString startDir;
};

void TestDialogLanguage::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("CORVANE"));
    QCoreApplication::setApplicationName(QStringLiteral("Corvane Velmora"));
    startDir = QDir::currentPath();
    // main() set the environment so that the user's system language is German.
    QCOMPARE(QLocale::system().language(), QLocale::German);
}

void TestDialogLanguage::init()
{
    QSettings().clear();
    workDir = std::make_unique<QTemporaryDir>();
    QVERIFY(workDir->isValid());
    QVERIFY(QDir::setCurrent(workDir->path()));
}

void TestDialogLanguage::cleanup()
{
    QDir::setCurrent(startDir);
    workDir.reset();
    QSettings().clear();
}

// The dialog only looks at names, so empty files do.
void TestDialogLanguage::addFiles(const QStringList &names)
{
    QVERIFY(QDir().mkpath(translationsDirectory));
    for (const QString &name : names) {
        QFile file(translationsDirectory + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

int TestDialogLanguage::execWith(DialogLanguage &dialog,
                                 const std::function<void(DialogLanguage *)> &act)
{
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, &timer, [&] {
        if (auto *modal = qobject_cast<DialogLanguage *>(QApplication::activeModalWidget())) {
            timer.stop();
            act(modal);
        }
    });
    timer.start();
    return dialog.exec();
}

QPushButton *TestDialogLanguage::button(DialogLanguage *dialog,
                                        QDialogButtonBox::StandardButton which)
{
    auto *box = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    return box ? box->button(which) : nullptr;
}

void TestDialogLanguage::listsApplicationCataloguesInNameOrder()
{
    addFiles({QStringLiteral("b_fr.qm"), QStringLiteral("A_en.qm"), QStringLiteral("c_de.QM"),
              QStringLiteral("qt_de.qm"), QStringLiteral("QT_it.qm"), QStringLiteral("notes.txt"),
              QStringLiteral("a_zz.qm"), QStringLiteral("e_es.qm.bak")});
    QVERIFY(QDir(translationsDirectory).mkdir(QStringLiteral("d_pt.qm")));

    DialogLanguage dialog(translationsDirectory);
    const QComboBox *combo = dialog.languageCombo();

    const QStringList names{QStringLiteral("English"), QStringLiteral("C"),
                            QStringLiteral("French"), QStringLiteral("German"),
                            QStringLiteral("Italian")};
    const QStringList paths{
        QStringLiteral("Translations/A_en.qm"), QStringLiteral("Translations/a_zz.qm"),
        QStringLiteral("Translations/b_fr.qm"), QStringLiteral("Translations/c_de.QM"),
        QStringLiteral("Translations/QT_it.qm")};
    const QStringList codes{QStringLiteral("en"), QStringLiteral("zz"), QStringLiteral("fr"),
                            QStringLiteral("de"), QStringLiteral("it")};
    QCOMPARE(combo->count(), names.size());
    for (int i = 0; i < combo->count(); ++i) {
        QCOMPARE(combo->itemText(i), names.at(i));
        QCOMPARE(combo->itemData(i, Qt::UserRole).toString(), paths.at(i));
        QCOMPARE(combo->itemData(i, Qt::UserRole + 1).toString(), codes.at(i));
        QVERIFY(combo->itemIcon(i).isNull());
    }
    QVERIFY(!combo->isEditable());
}

void TestDialogLanguage::sameLanguageTwiceKeepsBothPaths()
{
    addFiles({QStringLiteral("old_de.qm"), QStringLiteral("new_de.qm")});
    QSettings().setValue(dialogLanguageFilePathKey(), QStringLiteral("Translations/old_de.qm"));

    DialogLanguage dialog(translationsDirectory);
    const QComboBox *combo = dialog.languageCombo();

    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(0), QStringLiteral("German"));
    QCOMPARE(combo->itemText(1), QStringLiteral("German"));
    QCOMPARE(combo->itemData(0).toString(), QStringLiteral("Translations/new_de.qm"));
    QCOMPARE(combo->itemData(1).toString(), QStringLiteral("Translations/old_de.qm"));
    QCOMPARE(dialog.filePath(), QStringLiteral("Translations/old_de.qm"));
    QCOMPARE(dialog.iso639Code(), QStringLiteral("de"));
}

void TestDialogLanguage::missingFolderGivesEmptyList()
{
    DialogLanguage dialog(translationsDirectory);
    QCOMPARE(dialog.languageCombo()->count(), 0);
    QCOMPARE(dialog.filePath(), QString());
    QCOMPARE(dialog.iso639Code(), QString());

    // Two empty strings: the next start treats them as no usable choice.
    QCOMPARE(execWith(dialog, [](DialogLanguage *d) { button(d, QDialogButtonBox::Ok)->click(); }),
             int(QDialog::Accepted));
    QSettings settings;
    QVERIFY(settings.contains(dialogLanguageFilePathKey()));
    QVERIFY(settings.contains(dialogLanguageIso639CodeKey()));
    QCOMPARE(storedPath(), QString());
    QCOMPARE(storedCode(), QString());
}

void TestDialogLanguage::preselection_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("current");

    const QStringList three{QStringLiteral("a_en.qm"), QStringLiteral("b_fr.qm"),
                            QStringLiteral("c_de.qm")};
    QTest::newRow("stored path") << three << QStringLiteral("Translations/b_fr.qm") << 1;
    // Not the system language either: a stored path rules even when it is gone.
    QTest::newRow("stored path gone") << three << QStringLiteral("Translations/d_it.qm") << 0;
    QTest::newRow("stored path in other case")
        << three << QStringLiteral("Translations/B_FR.qm") << 0;
    QTest::newRow("nothing stored, system language") << three << QString() << 2;
    QTest::newRow("nothing stored, system language twice")
        << QStringList{QStringLiteral("a_de.qm"), QStringLiteral("b_en.qm"),
                       QStringLiteral("c_de.qm")}
        << QString() << 2;
    QTest::newRow("nothing stored, no match")
        << QStringList{QStringLiteral("a_en.qm"), QStringLiteral("b_fr.qm")} << QString() << 0;
}

void TestDialogLanguage::preselection()
{
    QFETCH(QStringList, files);
    QFETCH(QString, stored);
    QFETCH(int, current);
    addFiles(files);
    if (!stored.isNull())
        QSettings().setValue(dialogLanguageFilePathKey(), stored);

    DialogLanguage dialog(translationsDirectory);

    QCOMPARE(dialog.languageCombo()->count(), files.size());
    QCOMPARE(dialog.languageCombo()->currentIndex(), current);
    QCOMPARE(dialog.filePath(), dialog.languageCombo()->itemData(current, Qt::UserRole).toString());
}

void TestDialogLanguage::okStoresTheChoice()
{
    addFiles({QStringLiteral("velmora_de.qm"), QStringLiteral("velmora_en.qm")});

    DialogLanguage dialog(translationsDirectory);
    QCOMPARE(dialog.filePath(), QStringLiteral("Translations/velmora_de.qm"));
    const int result = execWith(dialog, [](DialogLanguage *d) {
        d->languageCombo()->setCurrentIndex(1);
        button(d, QDialogButtonBox::Ok)->click();
    });

    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(storedPath(), QStringLiteral("Translations/velmora_en.qm"));
    QCOMPARE(storedCode(), QStringLiteral("en"));
}

void TestDialogLanguage::okWithoutChangeStillStores()
{
    addFiles({QStringLiteral("velmora_de.qm"), QStringLiteral("velmora_en.qm")});
    QSettings().setValue(dialogLanguageFilePathKey(), QStringLiteral("Translations/velmora_en.qm"));

    DialogLanguage dialog(translationsDirectory);
    const int result =
        execWith(dialog, [](DialogLanguage *d) { button(d, QDialogButtonBox::Ok)->click(); });

    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(storedPath(), QStringLiteral("Translations/velmora_en.qm"));
    QCOMPARE(storedCode(), QStringLiteral("en"));
}

void TestDialogLanguage::dismissingStoresNothing_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("Cancel") << 0;
    QTest::newRow("Escape") << 1;
    QTest::newRow("close") << 2;
}

void TestDialogLanguage::dismissingStoresNothing()
{
    QFETCH(int, how);
    addFiles({QStringLiteral("velmora_de.qm"), QStringLiteral("velmora_en.qm")});
    {
        QSettings settings;
        settings.setValue(dialogLanguageFilePathKey(),
                          QStringLiteral("Translations/velmora_de.qm"));
        settings.setValue(dialogLanguageIso639CodeKey(), QStringLiteral("de"));
    }

    DialogLanguage dialog(translationsDirectory);
    const int result = execWith(dialog, [how](DialogLanguage *d) {
        d->languageCombo()->setCurrentIndex(1);
        if (how == 0)
            button(d, QDialogButtonBox::Cancel)->click();
        else if (how == 1)
            QTest::keyClick(d, Qt::Key_Escape);
        else
            d->close();
    });

    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(storedPath(), QStringLiteral("Translations/velmora_de.qm"));
    QCOMPARE(storedCode(), QStringLiteral("de"));
}

void TestDialogLanguage::titleIsTranslatedInItsOwnContext()
{
    {
        DialogLanguage dialog(translationsDirectory);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Please choose a language"));
        QCOMPARE(dialog.objectName(), QStringLiteral("DialogLanguage"));
        QVERIFY(button(&dialog, QDialogButtonBox::Ok));
        QVERIFY(button(&dialog, QDialogButtonBox::Cancel));
    }

    QTranslator german;
    QVERIFY(german.load(QStringLiteral(CV_LANGTEST_DIR "/langtest_de.qm")));
    QCoreApplication::installTranslator(&german);
    DialogLanguage dialog(translationsDirectory);
    QCoreApplication::removeTranslator(&german);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Bitte wählen Sie eine Sprache"));
}

int main(int argc, char **argv)
{
    // The preselection follows the user's system language; make it German.
    qputenv("LC_ALL", "de_DE.UTF-8");
    QApplication app(argc, argv);
    TestDialogLanguage test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dialoglanguage.moc"
