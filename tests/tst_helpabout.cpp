#include "mainwindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QTranslator>
#include <QtTest>

// Stands in for the desktop's file opener.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void openUrl(const QUrl &url) { urls.append(url); }
};

namespace {

struct AboutBox
{
    QString title;
    QString text;
    QWidget *parent = nullptr;
    qsizetype buttons = 0;
    bool iconShown = false;
};

// Triggers the About entry and reads the modal box it opens, then closes it.
AboutBox showAbout(MainWindow &window)
{
    AboutBox seen;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll.stop();
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.parent = box->parentWidget();
        seen.buttons = box->buttons().size();
        seen.iconShown = !box->iconPixmap().isNull();
        box->buttons().constFirst()->click();
    });
    poll.start();
    window.findChild<QAction *>(QStringLiteral("actionAbout"))->trigger();
    return seen;
}

} // namespace

class TestHelpAbout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void helpOpensFileOfLanguageOrEnglish_data();
    void helpOpensFileOfLanguageOrEnglish();
    void aboutShowsVersion();
    void aboutTranslatedWithComments();
    void guidesBesideTheProgram_data();
    void guidesBesideTheProgram();
};

void TestHelpAbout::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("CORVANE"));
    QCoreApplication::setApplicationName(QStringLiteral("Corvane Velmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.5"));
}

void TestHelpAbout::init()
{
    QSettings().clear();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestHelpAbout::helpOpensFileOfLanguageOrEnglish_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QStringList>("installed"); // language codes of the guides beside the program
    QTest::addColumn<QString>("opened");        // the code of the guide opened, empty for none

    const QStringList both{QStringLiteral("en"), QStringLiteral("de")};
    const QLocale german(QLocale::German, QLocale::Germany);
    QTest::newRow("de_DE") << german << both << "de";
    QTest::newRow("en") << QLocale(QStringLiteral("en")) << both << "en";
    // Only the language counts, never the country.
    QTest::newRow("pt_BR, no guide for it")
        << QLocale(QLocale::Portuguese, QLocale::Brazil) << both << "en";
    // A stored code that names no language gives the neutral locale, C.
    QTest::newRow("neutral locale") << QLocale(QStringLiteral("zz")) << both << "en";
    QTest::newRow("French, only a German guide")
        << QLocale(QLocale::French) << QStringList{"de"} << "";
    QTest::newRow("no Help folder") << german << QStringList() << "";
}

void TestHelpAbout::helpOpensFileOfLanguageOrEnglish()
{
    QFETCH(QLocale, locale);
    QFETCH(QStringList, installed);
    QFETCH(QString, opened);

    // This test program has a folder of its own, so the guides beside it are the test's.
    const QString help = QCoreApplication::applicationDirPath() + QStringLiteral("/Help");
    QVERIFY(QDir(help).removeRecursively());
    const auto guide = [&](const QString &code) {
        return help + QStringLiteral("/Corvane_VelmoraHelp_%1.html").arg(code);
    };
    for (const QString &code : installed) {
        QVERIFY(QDir().mkpath(help));
        QFile file(guide(code));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "openUrl");
    const auto unset =
        qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); });
    QLocale::setDefault(locale);

    MainWindow window;
    QStringList said;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            if (box && box->isVisible()) {
                said << box->text() << box->informativeText();
                box->button(QMessageBox::Ok)->click();
            }
        }
    });
    answer.start(20);
    window.findChild<QAction *>(QStringLiteral("actionHelp"))->trigger();

    if (opened.isEmpty()) {
        QVERIFY(catcher.urls.isEmpty());
        const QString languageGuide = guide(locale.name().left(2));
        QCOMPARE(said, (QStringList{QStringLiteral("No help file was found."),
                                    QStringLiteral("Looked for:\n%1\n%2")
                                        .arg(QDir::toNativeSeparators(languageGuide),
                                             QDir::toNativeSeparators(guide("en")))}));
    } else {
        QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(guide(opened))});
        QVERIFY(said.isEmpty());
    }
}

void TestHelpAbout::aboutShowsVersion()
{
    MainWindow window;
    const AboutBox box = showAbout(window);

    QCOMPARE(box.title, QStringLiteral("About Corvane Velmora"));
    QCOMPARE(box.text, QStringLiteral("Corvane Velmora\n\n 1.0.5\n"));
    QCOMPARE(box.parent, &window);
    QCOMPARE(box.buttons, 1);
    QVERIFY(box.iconShown);
}

// The catalogue holds both texts with and without their translator comments;
// a lookup with a missing or mistyped comment lands on the second kind.
void TestHelpAbout::aboutTranslatedWithComments()
{
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral("window_about"), QStringLiteral(CV_TEST_QM_DIR)));
    QVERIFY(QCoreApplication::installTranslator(&translator));

    MainWindow window;
    const AboutBox box = showAbout(window);
    QCoreApplication::removeTranslator(&translator);

    QCOMPARE(box.title, QStringLiteral("Über Corvane Velmora"));
    QCOMPARE(box.text, QStringLiteral("Corvane Velmora\n\n Version 1.0.5\n"));
}

void TestHelpAbout::guidesBesideTheProgram_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("en") << "en";
    QTest::newRow("de") << "de";
}

// The guides walk the user through the window by its texts, so they must
// quote what the catalogue of their language makes of them, and the two
// must keep the same sections.
void TestHelpAbout::guidesBesideTheProgram()
{
    QFETCH(QString, language);
    const auto readGuide = [](const QString &code) {
        QFile file(QStringLiteral(CV_HELP_DIR "/Corvane_VelmoraHelp_%1.html").arg(code));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    const auto anchors = [](const QString &html) {
        QStringList ids;
        static const QRegularExpression id(QStringLiteral("\\bid=\"([^\"]+)\""));
        for (auto it = id.globalMatch(html); it.hasNext();)
            ids << it.next().captured(1);
        return ids;
    };
    const QString guide = readGuide(language);
    QVERIFY2(guide.size() > 5000, "no guide, or only a stub");
    QVERIFY(guide.contains(QStringLiteral("lang=\"%1\"").arg(language)));
    QCOMPARE(anchors(guide), anchors(readGuide(QStringLiteral("en"))));

    QTranslator catalogue;
    QVERIFY(
        catalogue.load(QStringLiteral(CV_CATALOGUE_DIR "/corvane_velmora_%1.qm").arg(language)));
    QVERIFY(QCoreApplication::installTranslator(&catalogue));
    const auto quoted = [](const char *source) {
        // The guide names a control as it reads, without its mnemonic.
        return QCoreApplication::translate("MainWindow", source)
            .remove(QLatin1Char('&'))
            .toHtmlEscaped();
    };
    QStringList unquoted;
    for (const char *source :
         {"&Download", "&Cancel", "&Save", "&Open", "&Refresh Ports", "Device Connection",
          "Downloaded Output", "Please select a port and connect your device",
          "Now initiate the download on the tester", "Downloading...", "File successfully saved",
          "Would you like to convert the data to German format?"}) {
        if (!guide.simplified().contains(quoted(source)))
            unquoted << quoted(source);
    }
    QCoreApplication::removeTranslator(&catalogue);
    QVERIFY2(unquoted.isEmpty(), qPrintable(unquoted.join(QStringLiteral(", "))));

    // The troubleshooting a technician needs on either system.
    for (const char *topic :
         {"dialout", "usermod", "ModemManager", "9600", ".csv", "Windows", "brltty", "PL2303"})
        QVERIFY2(guide.contains(QLatin1String(topic)), topic);
}

QTEST_MAIN(TestHelpAbout)
#include "tst_helpabout.moc"
