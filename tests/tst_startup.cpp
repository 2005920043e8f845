#include "dialoglanguage.h"
#include "filesizecap.h"
#include "identity.h"
#include "languagesettings.h"
#include "mainwindow.h"
#include "recoveryjournal.h"
#include "startup.h"
#include "version.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// Plays the user while the program's event loops run: each step is polled
// until it reports that it is done, then the next one is polled.
class UserScript : public QObject
{
public:
    using Step = std::function<bool()>;

    UserScript() { connect(&timer, &QTimer::timeout, this, &UserScript::poll); }

    void then(Step step) { steps.append(std::move(step)); }
    void start()
    {
        clock.start();
        timer.start(20);
    }
    bool finished() const { return next == steps.size(); }

    void fail(const QString &why)
    {
        if (failure.isEmpty())
            failure = why;
        giveUp();
    }

    QString failure;

private:
    void poll()
    {
        if (finished())
            return;
        if (clock.elapsed() > 60000)
            fail(QStringLiteral("step %1 never happened").arg(next));
        else if (steps[next]())
            ++next;
    }

    // Closes whatever is open so that the program under test can return.
    void giveUp()
    {
        next = steps.size();
        if (auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            QTimer::singleShot(0, modal, &QDialog::reject);
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (qobject_cast<MainWindow *>(widget))
                QTimer::singleShot(0, widget, &QWidget::close);
    }

    QList<Step> steps;
    qsizetype next = 0;
    QTimer timer;
    QElapsedTimer clock;
};

MainWindow *shownMainWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<MainWindow *>(widget); window && window->isVisible())
            return window;
    return nullptr;
}

QString downloadText(const MainWindow *window)
{
    const auto *button = window->findChild<QPushButton *>(QStringLiteral("downloadBtn"));
    return button ? button->text() : QString();
}

// Counts the windows shown.
class ShowWatcher : public QObject
{
public:
    ShowWatcher() { qApp->installEventFilter(this); }
    ~ShowWatcher() override { qApp->removeEventFilter(this); }
    int windows = 0;
    int mainWindows = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto *widget = qobject_cast<QWidget *>(watched); widget && widget->isWindow())
                ++windows;
            if (qobject_cast<MainWindow *>(watched))
                ++mainWindows;
        }
        return false;
    }
};

// Waits until the started program has stored its catalogue choice (its first
// start does) or has ended, then ends it; whether it was still running.
bool storedWhileRunning(QProcess &program, QString *stored)
{
    QElapsedTimer clock;
    clock.start();
    while (stored->isEmpty() && program.state() == QProcess::Running && clock.elapsed() < 60000) {
        program.waitForFinished(100);
        QSettings settings;
        settings.sync();
        *stored = settings.value(dialogLanguageFilePathKey()).toString();
    }
    const bool running = program.state() == QProcess::Running;
    program.kill();
    program.waitForFinished(60000);
    return running;
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void identity();
    void firstStartOpensWindowInSystemLanguage();
    void restartAfterYesOpensNewWindowInNewLanguage();
    void noKeepsTheWindowAndItsLanguage();
    void cancelledDialogAsksNothing();
    void noCatalogueSaysSoAndFails();
    void executableWithoutCatalogueSaysSo_data();
    void executableWithoutCatalogueSaysSo();
    void executableStartsFromItsFolder_data();
    void executableStartsFromItsFolder();
    void fileSizeLimitDoesNotEndTheProgram();
    void commandLineAnswersWithoutDisplay_data();
    void commandLineAnswersWithoutDisplay();
    void leftoverArgumentsAreIgnored_data();
    void leftoverArgumentsAreIgnored();
    void withoutADisplayItSaysSo();

private:
    void addCatalogue(const QString &compiled, const QString &name);
    static QString storedPath()
    {
        return QSettings().value(dialogLanguageFilePathKey()).toString();
    }

    // Steps shared by the language change scenarios.
    static UserScript::Step triggerChangeLanguage(UserScript &script, QPointer<MainWindow> &window,
                                                  QString &text);
    static UserScript::Step chooseLanguage(UserScript &script, const QString &code, bool ok);
    static UserScript::Step answerRestart(UserScript &script, QMessageBox::StandardButton answer);

    std::unique_ptr<QTemporaryDir> workDir;
    QString startDir;
    QLocale startLocale;
};

void TestStartup::initTestCase()
{
    setApplicationIdentity();
    startDir = QDir::currentPath();
    startLocale = QLocale();
}

void TestStartup::init()
{
    QSettings().clear();
    // Records another test left unsaved would be offered at start.
    QDir(RecoveryJournal::defaultFolder()).removeRecursively();
    workDir = std::make_unique<QTemporaryDir>();
    QVERIFY(workDir->isValid());
    QVERIFY(QDir::setCurrent(workDir->path()));
}

void TestStartup::cleanup()
{
    QDir::setCurrent(startDir);
    workDir.reset();
    QLocale::setDefault(startLocale);
    QSettings().clear();
}

void TestStartup::addCatalogue(const QString &compiled, const QString &name)
{
    QDir().mkpath(translationsDirectory);
    const QString from = QStringLiteral(CV_LANGTEST_DIR "/%1.qm").arg(compiled);
    QVERIFY2(QFile::copy(from, translationsDirectory + QLatin1Char('/') + name), qPrintable(from));
}

UserScript::Step TestStartup::triggerChangeLanguage(UserScript &script,
                                                    QPointer<MainWindow> &window, QString &text)
{
    return [&script, &window, &text] {
        window = shownMainWindow();
        if (!window)
            return false;
        text = downloadText(window);
        // The action is hidden from the menus; triggering it is what remains.
        auto *action = window->findChild<QAction *>(QStringLiteral("actionChangeLanguage"));
        if (action)
            QTimer::singleShot(0, action, &QAction::trigger);
        else
            script.fail(QStringLiteral("no actionChangeLanguage"));
        return true;
    };
}

UserScript::Step TestStartup::chooseLanguage(UserScript &script, const QString &code, bool ok)
{
    return [&script, code, ok] {
        auto *dialog = qobject_cast<DialogLanguage *>(QApplication::activeModalWidget());
        if (!dialog)
            return false;
        const int index = dialog->languageCombo()->findData(code, Qt::UserRole + 1);
        if (index < 0) {
            script.fail(QStringLiteral("%1 is not offered").arg(code));
            return true;
        }
        dialog->languageCombo()->setCurrentIndex(index);
        auto *buttons = dialog->findChild<QDialogButtonBox *>();
        buttons->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
        return true;
    };
}

UserScript::Step TestStartup::answerRestart(UserScript &script, QMessageBox::StandardButton answer)
{
    return [&script, answer] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return false;
        if (box->text() !=
                QStringLiteral(
                    "The language will be changed next time Corvane Velmora is started.") ||
            box->informativeText() != QStringLiteral("Would you like to restart now?"))
            script.fail(QStringLiteral("unexpected question: ") + box->text());
        else
            box->button(answer)->click();
        return true;
    };
}

void TestStartup::identity()
{
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("CORVANE"));
    QCOMPARE(QCoreApplication::organizationDomain(), QStringLiteral("corvane.example"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Corvane Velmora"));
    QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral(CV_VERSION));
    QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("example.corvane.Velmora"));
}

// ctest makes the system's language German.
void TestStartup::firstStartOpensWindowInSystemLanguage()
{
    addCatalogue(QStringLiteral("langtest_en"), QStringLiteral("velmora_en.qm"));
    addCatalogue(QStringLiteral("langtest_de"), QStringLiteral("velmora_de.qm"));

    QString text;
    QLocale::Language language = QLocale::AnyLanguage;
    UserScript script;
    script.then([&] {
        MainWindow *window = shownMainWindow();
        if (!window)
            return false;
        text = downloadText(window);
        language = QLocale().language();
        window->close();
        return true;
    });
    script.start();
    const int status = runStartupCycles();

    QVERIFY2(script.failure.isEmpty(), qPrintable(script.failure));
    QVERIFY(script.finished());
    QCOMPARE(status, 0);
    QCOMPARE(text, QStringLiteral("Herunterladen"));
    QCOMPARE(language, QLocale::German);
    QCOMPARE(storedPath(), QStringLiteral("Translations/velmora_de.qm"));
    // The window stored its settings on the way out.
    QVERIFY(QSettings().contains(QStringLiteral("MainWindow/Geometry")));
    // The cycle's translators are gone with the cycle.
    QCOMPARE(QCoreApplication::translate("MainWindow", "&Download"), QStringLiteral("&Download"));
}

void TestStartup::restartAfterYesOpensNewWindowInNewLanguage()
{
    addCatalogue(QStringLiteral("langtest_en"), QStringLiteral("velmora_en.qm"));
    addCatalogue(QStringLiteral("langtest_de"), QStringLiteral("velmora_de.qm"));

    QPointer<MainWindow> first;
    QString firstText;
    QString secondText;
    bool firstGone = false;
    UserScript script;
    script.then(triggerChangeLanguage(script, first, firstText));
    script.then(chooseLanguage(script, QStringLiteral("en"), true));
    script.then(answerRestart(script, QMessageBox::Yes));
    script.then([&] {
        MainWindow *window = shownMainWindow();
        if (!window || window == first.data())
            return false;
        firstGone = first.isNull();
        secondText = downloadText(window);
        window->close();
        return true;
    });
    ShowWatcher watcher;
    script.start();
    const int status = runStartupCycles();

    QVERIFY2(script.failure.isEmpty(), qPrintable(script.failure));
    QVERIFY(script.finished());
    QCOMPARE(status, 0);
    QCOMPARE(watcher.mainWindows, 2);
    QCOMPARE(firstText, QStringLiteral("Herunterladen"));
    QVERIFY(firstGone);
    QCOMPARE(secondText, QStringLiteral("Fetch records"));
    QCOMPARE(storedPath(), QStringLiteral("Translations/velmora_en.qm"));
    QCOMPARE(QLocale().language(), QLocale::English);
}

void TestStartup::noKeepsTheWindowAndItsLanguage()
{
    addCatalogue(QStringLiteral("langtest_en"), QStringLiteral("velmora_en.qm"));
    addCatalogue(QStringLiteral("langtest_de"), QStringLiteral("velmora_de.qm"));

    QPointer<MainWindow> first;
    QString firstText;
    QString textAfter;
    bool sameWindow = false;
    bool restartRequested = true;
    UserScript script;
    script.then(triggerChangeLanguage(script, first, firstText));
    script.then(chooseLanguage(script, QStringLiteral("en"), true));
    script.then(answerRestart(script, QMessageBox::No));
    script.then([&] {
        if (QApplication::activeModalWidget())
            return false;
        MainWindow *window = shownMainWindow();
        if (!window) {
            script.fail(QStringLiteral("the window closed after No"));
            return true;
        }
        sameWindow = window == first.data();
        textAfter = downloadText(window);
        restartRequested = window->restartRequested;
        window->close();
        return true;
    });
    ShowWatcher watcher;
    script.start();
    const int status = runStartupCycles();

    QVERIFY2(script.failure.isEmpty(), qPrintable(script.failure));
    QVERIFY(script.finished());
    QCOMPARE(status, 0);
    QCOMPARE(watcher.mainWindows, 1);
    QVERIFY(sameWindow);
    QVERIFY(!restartRequested);
    QCOMPARE(textAfter, QStringLiteral("Herunterladen"));
    // The choice is kept for the next start.
    QCOMPARE(storedPath(), QStringLiteral("Translations/velmora_en.qm"));
    QCOMPARE(QSettings().value(dialogLanguageIso639CodeKey()).toString(), QStringLiteral("en"));
}

void TestStartup::cancelledDialogAsksNothing()
{
    addCatalogue(QStringLiteral("langtest_en"), QStringLiteral("velmora_en.qm"));
    addCatalogue(QStringLiteral("langtest_de"), QStringLiteral("velmora_de.qm"));

    QPointer<MainWindow> first;
    QString firstText;
    UserScript script;
    script.then(triggerChangeLanguage(script, first, firstText));
    script.then(chooseLanguage(script, QStringLiteral("en"), false));
    script.then([&] {
        // Anything modal now would have been opened by the cancelled dialog's caller.
        if (QApplication::activeModalWidget()) {
            script.fail(QStringLiteral("something was asked after Cancel"));
            return true;
        }
        if (MainWindow *window = shownMainWindow())
            window->close();
        else
            script.fail(QStringLiteral("the window closed after Cancel"));
        return true;
    });
    ShowWatcher watcher;
    script.start();
    const int status = runStartupCycles();

    QVERIFY2(script.failure.isEmpty(), qPrintable(script.failure));
    QCOMPARE(status, 0);
    QCOMPARE(watcher.mainWindows, 1);
    QCOMPARE(storedPath(), QStringLiteral("Translations/velmora_de.qm"));
}

void TestStartup::noCatalogueSaysSoAndFails()
{
    QVERIFY(QDir().mkpath(translationsDirectory));
    addCatalogue(QStringLiteral("langtest_toolkit"), QStringLiteral("qt_de.qm"));

    QString said;
    UserScript script;
    script.then([&] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            if (box && box->isVisible()) {
                said = box->text();
                box->button(QMessageBox::Ok)->click();
                return true;
            }
        }
        return false;
    });
    ShowWatcher watcher;
    script.start();
    QCOMPARE(runStartupCycles(), 1);

    QVERIFY2(script.failure.isEmpty(), qPrintable(script.failure));
    const QString folder = QDir::toNativeSeparators(QDir(translationsDirectory).absolutePath());
    QCOMPARE(said, QStringLiteral("The program cannot start: no usable translation catalogue "
                                  "in \"%1\".")
                       .arg(folder));
    QCOMPARE(watcher.mainWindows, 0);
    QVERIFY(QSettings().allKeys().isEmpty());
}

void TestStartup::executableWithoutCatalogueSaysSo_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::newRow("no folder") << QStringList();
    QTest::newRow("only toolkit catalogues")
        << QStringList{QStringLiteral("qt_de.qm"), QStringLiteral("qt_en.qm")};
}

// The program says why on its error stream at once, and then waits for the
// user to read its message box (answered in noCatalogueSaysSoAndFails).
void TestStartup::executableWithoutCatalogueSaysSo()
{
    QFETCH(QStringList, files);
    for (const QString &name : files)
        addCatalogue(QStringLiteral("langtest_toolkit"), name);

    QProcess program;
    program.setWorkingDirectory(workDir->path());
    program.start(QStringLiteral(CV_APP_EXECUTABLE), {});
    QVERIFY(program.waitForStarted(60000));
    QString errors;
    const QRegularExpression ours(QStringLiteral("^corvane-velmora:.*$"),
                                  QRegularExpression::MultilineOption);
    QElapsedTimer clock;
    clock.start();
    while (!ours.match(errors).hasMatch() && program.state() == QProcess::Running &&
           clock.elapsed() < 60000) {
        program.waitForReadyRead(100);
        errors += QString::fromLocal8Bit(program.readAllStandardError());
    }
    const bool waiting = program.state() == QProcess::Running;
    program.kill();
    program.waitForFinished(60000);
    errors += QString::fromLocal8Bit(program.readAllStandardError());

    QVERIFY2(waiting, qPrintable(errors));
    const QString folder = QDir::toNativeSeparators(QFileInfo(workDir->path()).canonicalFilePath() +
                                                    QStringLiteral("/Translations"));
    // The toolkit may warn about the environment; the program says one thing.
    // Windows ends the line with a carriage return too.
    const QStringList lines = errors.split(QRegularExpression(QStringLiteral("\r?\n")))
                                  .filter(QRegularExpression(QStringLiteral("^corvane-velmora:")));
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().endsWith(folder), qPrintable(errors));
    QVERIFY(program.readAllStandardOutput().isEmpty());
}

void TestStartup::executableStartsFromItsFolder_data()
{
    QTest::addColumn<QString>("system");
    QTest::addColumn<QString>("language");
    QTest::newRow("de_DE.UTF-8") << QStringLiteral("de_DE.UTF-8") << QStringLiteral("de");
    QTest::newRow("fr_FR.UTF-8") << QStringLiteral("fr_FR.UTF-8") << QStringLiteral("en");
    QTest::newRow("C") << QStringLiteral("C") << QStringLiteral("en");
}

// All catalogues of the build are beside it; the first start takes the
// system's language, English when there is no catalogue of it.
void TestStartup::executableStartsFromItsFolder()
{
    QFETCH(QString, system);
    QFETCH(QString, language);
#ifndef CV_LOCALE_FROM_ENVIRONMENT
    if (QLocale(system).name() != QLocale::system().name())
        QSKIP("here a program's system language is the user's setting, not its environment's");
#endif
    const QString folder = QFileInfo(QStringLiteral(CV_APP_EXECUTABLE)).absolutePath();
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"LANGUAGE", "LC_MESSAGES", "LANG"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("LC_ALL"), system);
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(folder);
    program.start(QStringLiteral(CV_APP_EXECUTABLE), {});
    QVERIFY(program.waitForStarted(60000));

    // The first start stores the catalogue it took; after that it waits for the user.
    QString stored;
    const bool running = storedWhileRunning(program, &stored);

    QVERIFY2(running, program.readAllStandardError().constData());
    QCOMPARE(stored, QStringLiteral("Translations/corvane_velmora_%1.qm").arg(language));
    QVERIFY(QFile::exists(folder + QLatin1Char('/') + stored));
}

// Past a file size limit the system would end the program with a signal; it
// writes its settings on the way out, past this limit.
void TestStartup::fileSizeLimitDoesNotEndTheProgram()
{
    addCatalogue(QStringLiteral("langtest_en"), QStringLiteral("velmora_en.qm"));

    UserScript script;
    script.then([&] {
        MainWindow *window = shownMainWindow();
        if (window)
            window->close();
        return window != nullptr;
    });
    int status = -1;
    {
        FileSizeCap cap(16);
        if (!cap.isActive())
            QSKIP("no file size limit on this system");
        script.start();
        status = runStartupCycles();
    }

    QVERIFY2(script.failure.isEmpty(), qPrintable(script.failure));
    QVERIFY(script.finished());
    QCOMPARE(status, 0);
}

void TestStartup::commandLineAnswersWithoutDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    const QString version = QStringLiteral("Corvane Velmora " CV_VERSION "\n");
    QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << version;
    QTest::newRow("-v") << QStringList{QStringLiteral("-v")} << version;
    // A toolkit option beside it does not get in the way.
    QTest::newRow("-reverse --version")
        << QStringList{QStringLiteral("-reverse"), QStringLiteral("--version")} << version;
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << QStringLiteral("--version");
    QTest::newRow("-h") << QStringList{QStringLiteral("-h")} << QStringLiteral("--help");
    // Nothing else on the line stops an answer.
    QTest::newRow("--bogus --version")
        << QStringList{QStringLiteral("--bogus"), QStringLiteral("--version")} << version;
    QTest::newRow("file name, --help")
        << QStringList{QStringLiteral("records.csv"), QStringLiteral("--help")}
        << QStringLiteral("--version");
}

// Answered on a terminal without a display: a program that built its window
// (or only its GUI application object) here would abort for want of one.
void TestStartup::commandLineAnswersWithoutDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(workDir->path()); // no catalogues needed either
    program.start(QStringLiteral(CV_APP_EXECUTABLE), arguments);
    QVERIFY2(program.waitForFinished(60000), "the program kept running");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    // Windows ends the line with a carriage return too.
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput())
                            .replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (expected.startsWith(QLatin1String("--")))
        QVERIFY2(out.startsWith(QLatin1String("Usage:")) && out.contains(expected),
                 qPrintable(out));
    else
        QCOMPARE(out, expected);
}

void TestStartup::leftoverArgumentsAreIgnored_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("said");
    QTest::newRow("unknown option")
        << QStringList{QStringLiteral("--frobnicate=1")} << QStringLiteral("\"--frobnicate=1\"");
    // As "Open with" or a file dropped on the shortcut hands it over.
    QTest::newRow("file names") << QStringList{QStringLiteral("C:\\records\\site 1.csv"),
                                               QStringLiteral("-x")}
                                << QStringLiteral("\"C:\\records\\site 1.csv\" \"-x\"");
    // The toolkit's own options are the toolkit's.
    QTest::newRow("toolkit option") << QStringList{QStringLiteral("-reverse")} << QString();
}

// The program starts as without them, after one line on its error stream.
void TestStartup::leftoverArgumentsAreIgnored()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, said);
    addCatalogue(QStringLiteral("langtest_en"), QStringLiteral("velmora_en.qm"));

    QProcess program;
    program.setWorkingDirectory(workDir->path());
    program.start(QStringLiteral(CV_APP_EXECUTABLE), arguments);
    QVERIFY(program.waitForStarted(60000));
    // Running with its window: the first start has stored its language.
    QString stored;
    const bool running = storedWhileRunning(program, &stored);
    const QString errors = QString::fromLocal8Bit(program.readAllStandardError());

    QVERIFY2(running, qPrintable(errors));
    QCOMPARE(stored, QStringLiteral("Translations/velmora_en.qm"));
    const QStringList lines = errors.split(QRegularExpression(QStringLiteral("\r?\n")))
                                  .filter(QRegularExpression(QStringLiteral("^corvane-velmora:")));
    if (said.isEmpty()) {
        QVERIFY2(lines.isEmpty(), qPrintable(errors));
    } else {
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines.first(),
                 QStringLiteral("corvane-velmora: ignoring %1; see --help").arg(said));
    }
}

// Over a remote shell: one line and a plain failure, not the toolkit's abort,
// whatever the arguments.
void TestStartup::withoutADisplayItSaysSo()
{
#ifdef Q_OS_WIN
    QSKIP("a Windows session always has its desktop");
#endif
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(workDir->path());
    program.start(QStringLiteral(CV_APP_EXECUTABLE), {QStringLiteral("--bogus")});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    QCOMPARE(QString::fromLocal8Bit(program.readAllStandardError()).trimmed(),
             QStringLiteral("corvane-velmora: no display to show the window on (neither DISPLAY "
                            "nor WAYLAND_DISPLAY is set); --help lists the options"));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
