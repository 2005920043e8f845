// GLib names struct members "signals"; it has to come before Qt's keyword macros.
#include "umockdevbed.h"

#include "mainwindow.h"
#include "portwatcher.h"
#include "settingskeys.h"
#include "windowchild.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTranslator>
#include <QtTest>

#include <memory>

namespace {

// A menu entry hidden on purpose, as opposed to a widget not shown yet.
bool explicitlyHidden(const QWidget *widget)
{
    return widget->isHidden() && widget->testAttribute(Qt::WA_WState_ExplicitShowHide);
}

QStringList visibleEntries(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions()) {
        if (action->isVisible())
            texts.append(action->text());
    }
    return texts;
}

// Every text the form sets, in the form's order.
QStringList formTexts(const MainWindow &window)
{
    QStringList texts{window.windowTitle()};
    for (const char *name : {"actionExit", "actionRefreshPorts", "actionAbout",
                             "actionChangeLanguage", "actionHelp"}) {
        const QAction *action = child<QAction>(window, name);
        texts << action->text() << action->toolTip();
    }
    texts << child<QAction>(window, "actionConvertCsvData")->text();
    texts << child<QGroupBox>(window, "groupBox")->title();
    for (const char *name : {"cancelBtn", "downloadBtn"})
        texts << child<QPushButton>(window, name)->text();
    texts << child<QGroupBox>(window, "outputGroupBox")->title();
    for (const char *name : {"openBtn", "saveBtn"})
        texts << child<QPushButton>(window, name)->text();
    for (const char *name : {"menuFile", "menuTools", "menuCountrySettings", "menuHelp"})
        texts << child<QMenu>(window, name)->title();
    return texts;
}

const QStringList sourceTexts{QStringLiteral("Corvane Velmora"),
                              QStringLiteral("E&xit"),
                              QStringLiteral("Quits the application"),
                              QStringLiteral("&Refresh Ports"),
                              QStringLiteral("Refreshes the list of COM ports"),
                              QStringLiteral("&About"),
                              QStringLiteral("Shows version information about Solar Velmora"),
                              QStringLiteral("&Change Language..."),
                              QStringLiteral("Change the language used in this application"),
                              QStringLiteral("&Help"),
                              QStringLiteral("Shows documentation"),
                              QStringLiteral("Con&vert CSV Data"),
                              QStringLiteral("Device Connection"),
                              QStringLiteral("&Cancel"),
                              QStringLiteral("&Download"),
                              QStringLiteral("Downloaded Output"),
                              QStringLiteral("&Open"),
                              QStringLiteral("&Save"),
                              QStringLiteral("&File"),
                              QStringLiteral("&Tools"),
                              QStringLiteral("Co&untry Settings"),
                              QStringLiteral("&Help")};

const QString idleMessage = QStringLiteral("Please select a port and connect your device");
const QString noPortMessage =
    QStringLiteral("No serial port found: check cable, power and driver.");

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void idleState();
    void toolsMenuShowsOnlyRefreshPorts_data();
    void toolsMenuShowsOnlyRefreshPorts();
    void countrySettingsFollowGermanLocale_data();
    void countrySettingsFollowGermanLocale();
    void catalogueTextsByContext_data();
    void catalogueTextsByContext();
    void geometryStateAndPortSurviveRestart();
    void unusableGeometryKeepsFormSize();
    void storedPortSelected_data();
    void storedPortSelected();
    void refreshKeepsTheChosenPort_data();
    void refreshKeepsTheChosenPort();
    void portToolTips();
    void noPortPresent();
    void exitClosesWindow();
    void portListFollowsHardware();
    void portAnnouncedGoneIsLeftOut();
    void keyboardAndAccessibleNames_data();
    void keyboardAndAccessibleNames();

private:
    // A USB adapter behind ttyUSB0 and a CDC-ACM device behind ttyACM0.
    void addUsbAdapter();
    void addAcmDevice();
    void removePort(const QByteArray &sysPath);
    void addUsbPort(const char *usbName, const char *vendor, const char *product,
                    const char *productName, const char *driver, const char *tty,
                    const char *devNumbers);

    std::unique_ptr<UmockdevBed> testbed;
    QHash<QByteArray, QByteArray> ttyPaths; // sysfs path of each port added
};

void TestMainWindow::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("CORVANE"));
    QCoreApplication::setApplicationName(QStringLiteral("Corvane Velmora"));
    testbed = std::make_unique<UmockdevBed>();
    QVERIFY(testbed->get());
    QVERIFY2(UmockdevBed::active(), "run through umockdev-wrapper");
}

void TestMainWindow::init()
{
    QSettings().clear();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestMainWindow::cleanup()
{
    testbed->clear();
    ttyPaths.clear();
}

void TestMainWindow::cleanupTestCase()
{
    testbed.reset();
}

void TestMainWindow::addUsbPort(const char *usbName, const char *vendor, const char *product,
                                const char *productName, const char *driver, const char *tty,
                                const char *devNumbers)
{
    gchar *usb = umockdev_testbed_add_device(testbed->get(), "usb", usbName, nullptr, "idVendor",
                                             vendor, "idProduct", product, "bcdDevice", "0600",
                                             "product", productName, "serial", "A10K1xyz", nullptr,
                                             "DEVTYPE", "usb_device", nullptr);
    QVERIFY(usb);
    const QByteArray interfaceName = QByteArray(usbName) + ":1.0";
    gchar *interface = umockdev_testbed_add_device(
        testbed->get(), "usb", interfaceName.constData(), usb, "bInterfaceNumber", "00", nullptr,
        "DEVTYPE", "usb_interface", "DRIVER", driver, nullptr);
    QVERIFY(interface);
    const QByteArray devName = QByteArray("/dev/") + tty;
    gchar *port =
        umockdev_testbed_add_device(testbed->get(), "tty", tty, interface, "dev", devNumbers,
                                    nullptr, "DEVNAME", devName.constData(), nullptr);
    QVERIFY(port);
    ttyPaths.insert(tty, port);
    g_free(port);
    g_free(interface);
    g_free(usb);
}

// As the kernel takes a port away: the tty announces its removal and goes.
void TestMainWindow::removePort(const QByteArray &sysPath)
{
    testbed->unplug(sysPath);
}

void TestMainWindow::addUsbAdapter()
{
    addUsbPort("1-1", "0403", "6001", "FT232R USB UART", "ftdi_sio", "ttyUSB0", "188:0");
}

void TestMainWindow::addAcmDevice()
{
    addUsbPort("1-2", "1209", "5a10", "Field Tester Link", "cdc_acm", "ttyACM0", "166:0");
}

void TestMainWindow::idleState()
{
    addUsbAdapter();
    MainWindow window;

    QCOMPARE(window.windowTitle(), QStringLiteral("Corvane Velmora"));
    QVERIFY(child<QPushButton>(window, "downloadBtn")->isVisibleTo(&window));
    QVERIFY(child<QPushButton>(window, "downloadBtn")->isEnabled());
    for (const char *name : {"cancelBtn", "openBtn", "saveBtn"})
        QVERIFY2(!child<QPushButton>(window, name)->isVisibleTo(&window), name);
    QVERIFY(child<QComboBox>(window, "comPorts")->isVisibleTo(&window));
    QVERIFY(child<QComboBox>(window, "comPorts")->isEnabled());
    QVERIFY(child<QPlainTextEdit>(window, "outputTextEdit")->isReadOnly());
    QVERIFY(child<QPlainTextEdit>(window, "outputTextEdit")->toPlainText().isEmpty());
    QCOMPARE(window.statusBar()->currentMessage(), idleMessage);
    QVERIFY(!window.restartRequested);

    // The busy indicator joins the status bar only while a download runs.
    QVERIFY(!window.findChild<QProgressBar *>());

    // The icon comes from the compiled-in bundle, not from the form's missing path.
    QCOMPARE(window.windowIcon().availableSizes(), QList<QSize>{QSize(256, 256)});
}

void TestMainWindow::toolsMenuShowsOnlyRefreshPorts_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<bool>("convertDataStored");

    QTest::newRow("C") << QLocale::c() << false;
    QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << false;
    QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << false;
    QTest::newRow("de_DE, conversion stored") << QLocale(QLocale::German, QLocale::Germany) << true;
    QTest::newRow("pt_BR") << QLocale(QLocale::Portuguese, QLocale::Brazil) << true;
}

void TestMainWindow::toolsMenuShowsOnlyRefreshPorts()
{
    QFETCH(QLocale, locale);
    QFETCH(bool, convertDataStored);
    QLocale::setDefault(locale);
    if (convertDataStored)
        QSettings().setValue(SettingsKeys::convertData, true);

    MainWindow window;

    QStringList bar;
    for (const QAction *action : window.menuBar()->actions())
        bar.append(action->text());
    QCOMPARE(bar, (QStringList{"&File", "&Tools", "&Help"}));
    QCOMPARE(visibleEntries(child<QMenu>(window, "menuFile")), QStringList{"E&xit"});
    QCOMPARE(visibleEntries(child<QMenu>(window, "menuTools")), QStringList{"&Refresh Ports"});
    QCOMPARE(visibleEntries(child<QMenu>(window, "menuHelp")), (QStringList{"&Help", "&About"}));

    // Still connected, but nothing in the window can reach them.
    const QAction *changeLanguage = child<QAction>(window, "actionChangeLanguage");
    const QAction *countrySettings = child<QMenu>(window, "menuCountrySettings")->menuAction();
    QVERIFY(!changeLanguage->isVisible());
    QVERIFY(!countrySettings->isVisible());
    QVERIFY(changeLanguage->shortcut().isEmpty());
    QVERIFY(child<QAction>(window, "actionConvertCsvData")->shortcut().isEmpty());
}

void TestMainWindow::countrySettingsFollowGermanLocale_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("hidden");
    QTest::addColumn<bool>("checked");

    const QLocale german(QLocale::German, QLocale::Germany);
    // Stored as "1"/"0": a value written back would read "true"/"false".
    QTest::newRow("de_DE, yes stored") << german << QVariant("1") << false << true;
    QTest::newRow("de_DE, no stored") << german << QVariant("0") << false << false;
    QTest::newRow("de_DE, nothing stored") << german << QVariant() << true << false;
    QTest::newRow("de_AT, yes stored")
        << QLocale(QLocale::German, QLocale::Austria) << QVariant("1") << false << true;
    QTest::newRow("en_GB, yes stored")
        << QLocale(QLocale::English, QLocale::UnitedKingdom) << QVariant("1") << true << false;
    QTest::newRow("fr_CH, yes stored")
        << QLocale(QLocale::French, QLocale::Switzerland) << QVariant("1") << true << false;
    QTest::newRow("C, yes stored") << QLocale::c() << QVariant("1") << true << false;
}

void TestMainWindow::countrySettingsFollowGermanLocale()
{
    QFETCH(QLocale, locale);
    QFETCH(QVariant, stored);
    QFETCH(bool, hidden);
    QFETCH(bool, checked);
    QLocale::setDefault(locale);
    if (stored.isValid())
        QSettings().setValue(SettingsKeys::convertData, stored);

    {
        MainWindow window;
        QCOMPARE(explicitlyHidden(child<QMenu>(window, "menuCountrySettings")), hidden);
        QCOMPARE(child<QAction>(window, "actionConvertCsvData")->isChecked(), checked);
    }

    const QSettings settings;
    QCOMPARE(settings.contains(SettingsKeys::convertData), stored.isValid());
    if (stored.isValid())
        QCOMPARE(settings.value(SettingsKeys::convertData), stored);
}

void TestMainWindow::catalogueTextsByContext_data()
{
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<QStringList>("expected");

    QStringList translated = sourceTexts;
    translated.replace(sourceTexts.indexOf("&Download"), QStringLiteral("Herunter&laden"));
    QTest::newRow("Download in MainWindow") << "window_download_here" << translated;
    QTest::newRow("Download in another context") << "window_download_elsewhere" << sourceTexts;
}

void TestMainWindow::catalogueTextsByContext()
{
    QFETCH(QString, catalogue);
    QFETCH(QStringList, expected);
    QTranslator translator;
    QVERIFY(translator.load(catalogue, QStringLiteral(CV_TEST_QM_DIR)));
    QVERIFY(QCoreApplication::installTranslator(&translator));

    addUsbAdapter();
    MainWindow window;
    QCoreApplication::removeTranslator(&translator);

    QCOMPARE(formTexts(window), expected);
    QCOMPARE(window.statusBar()->currentMessage(), idleMessage);
}

void TestMainWindow::geometryStateAndPortSurviveRestart()
{
    addAcmDevice();
    addUsbAdapter();

    QByteArray state;
    {
        MainWindow window;
        QCOMPARE(window.size(), QSize(451, 367));
        auto *ports = child<QComboBox>(window, "comPorts");
        QCOMPARE(ports->currentText(), QStringLiteral("ttyACM0"));
        ports->setCurrentIndex(ports->findText(QStringLiteral("ttyUSB0")));
        window.resize(520, 410);
        state = window.saveState(0);
    }

    const QSettings settings;
    QVERIFY(!settings.value(SettingsKeys::mainWindowGeometry).toByteArray().isEmpty());
    QCOMPARE(settings.value(SettingsKeys::mainWindowState).toByteArray(), state);
    QCOMPARE(settings.value(SettingsKeys::devicePortName).toString(), QStringLiteral("ttyUSB0"));
    // Stored as version 0, the version the constructor restores with.
    QMainWindow probe;
    QVERIFY(!probe.restoreState(state, 1));
    QVERIFY(probe.restoreState(state, 0));

    MainWindow restarted;
    QCOMPARE(restarted.size(), QSize(520, 410));
    QCOMPARE(child<QComboBox>(restarted, "comPorts")->currentText(), QStringLiteral("ttyUSB0"));
}

void TestMainWindow::unusableGeometryKeepsFormSize()
{
    QSettings().setValue(SettingsKeys::mainWindowGeometry, QByteArray("not a geometry"));
    QSettings().setValue(SettingsKeys::mainWindowState, QByteArray("not a state"));

    MainWindow window;
    QCOMPARE(window.size(), QSize(451, 367));
    QCOMPARE(window.statusBar()->currentMessage(), noPortMessage);
}

void TestMainWindow::storedPortSelected_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("current");

    QTest::newRow("nothing stored") << QVariant() << "ttyACM0";
    QTest::newRow("second port stored") << QVariant("ttyUSB0") << "ttyUSB0";
    QTest::newRow("first port stored") << QVariant("ttyACM0") << "ttyACM0";
    QTest::newRow("absent port stored") << QVariant("ttyUSB7") << "ttyACM0";
    QTest::newRow("case differs") << QVariant("TTYUSB0") << "ttyACM0";
    QTest::newRow("device path stored") << QVariant("/dev/ttyUSB0") << "ttyACM0";
}

void TestMainWindow::storedPortSelected()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, current);
    addUsbAdapter();
    addAcmDevice();
    if (stored.isValid())
        QSettings().setValue(SettingsKeys::devicePortName, stored);

    MainWindow window;
    const QComboBox *ports = child<QComboBox>(window, "comPorts");

    QCOMPARE(ports->count(), 2);
    QCOMPARE(ports->itemText(0), QStringLiteral("ttyACM0"));
    QCOMPARE(ports->itemText(1), QStringLiteral("ttyUSB0"));
    QCOMPARE(ports->itemData(0).toString(), QStringLiteral("/dev/ttyACM0"));
    QCOMPARE(ports->itemData(1).toString(), QStringLiteral("/dev/ttyUSB0"));
    QVERIFY(ports->itemIcon(0).isNull());
    QCOMPARE(ports->currentText(), current);
}

void TestMainWindow::refreshKeepsTheChosenPort_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("unplugged"); // before the refresh
    QTest::addColumn<QString>("current");   // after it

    QTest::newRow("chosen port still there") << "ttyUSB0"
                                             << "ttyACM0"
                                             << ""
                                             << "ttyUSB0";
    QTest::newRow("chosen port gone") << "ttyUSB0"
                                      << "ttyACM0"
                                      << "ttyUSB0"
                                      << "ttyACM0";
    QTest::newRow("chosen and stored port gone") << "ttyACM0"
                                                 << "ttyACM0"
                                                 << "ttyACM0"
                                                 << "ttyUSB0";
}

void TestMainWindow::refreshKeepsTheChosenPort()
{
    QFETCH(QString, chosen);
    QFETCH(QString, stored);
    QFETCH(QString, unplugged);
    QFETCH(QString, current);
    addAcmDevice();
    addUsbAdapter();
    QSettings().setValue(SettingsKeys::devicePortName, stored);

    MainWindow window;
    auto *ports = child<QComboBox>(window, "comPorts");
    ports->setCurrentIndex(ports->findText(chosen));
    QCOMPARE(ports->currentText(), chosen);

    // An adapter plugged in, another perhaps pulled out.
    addUsbPort("1-3", "0403", "6015", "FT230X Basic UART", "ftdi_sio", "ttyUSB1", "188:1");
    if (!unplugged.isEmpty())
        umockdev_testbed_remove_device(testbed->get(),
                                       ttyPaths.value(unplugged.toLatin1()).constData());
    child<QAction>(window, "actionRefreshPorts")->trigger();

    QCOMPARE(ports->count(), unplugged.isEmpty() ? 3 : 2);
    QCOMPARE(ports->findText(QStringLiteral("ttyUSB1")), ports->count() - 1);
    QCOMPARE(ports->currentText(), current);
    // Only closing the window stores the choice.
    QCOMPARE(QSettings().value(SettingsKeys::devicePortName).toString(), stored);
}

void TestMainWindow::portToolTips()
{
    addAcmDevice();
    addUsbAdapter();

    MainWindow window;
    const QComboBox *ports = child<QComboBox>(window, "comPorts");

    QCOMPARE(ports->count(), 2);
    QCOMPARE(ports->itemData(0, Qt::ToolTipRole).toString(),
             QStringLiteral("Field Tester Link (ttyACM0)\nUSB 1209:5a10"));
    QCOMPARE(ports->itemData(1, Qt::ToolTipRole).toString(),
             QStringLiteral("FT232R USB UART (ttyUSB0)\nUSB 0403:6001"));
}

void TestMainWindow::noPortPresent()
{
    QSettings().setValue(SettingsKeys::devicePortName, QStringLiteral("ttyUSB0"));
    {
        MainWindow window;
        const QComboBox *ports = child<QComboBox>(window, "comPorts");
        QCOMPARE(ports->count(), 0);
        QCOMPARE(ports->currentIndex(), -1);
        QVERIFY(child<QPushButton>(window, "downloadBtn")->isEnabled());
        QCOMPARE(window.statusBar()->currentMessage(), noPortMessage);
    }
    const QSettings settings;
    QVERIFY(settings.contains(SettingsKeys::devicePortName));
    QCOMPARE(settings.value(SettingsKeys::devicePortName).toString(), QString());
}

void TestMainWindow::exitClosesWindow()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    child<QAction>(window, "actionExit")->trigger();
    QVERIFY(!window.isVisible());
}

void TestMainWindow::portListFollowsHardware()
{
    addAcmDevice();
    addUsbAdapter();
    const QByteArray acm = ttyPaths.value("ttyACM0");
    const QByteArray usb = ttyPaths.value("ttyUSB0");
    QSettings().setValue(SettingsKeys::devicePortName, QStringLiteral("ttyACM0"));

    MainWindow window;
    auto *ports = child<QComboBox>(window, "comPorts");
    QVERIFY(window.findChild<Cv::PortWatcher *>()->isWatching());
    ports->setCurrentIndex(1);

    // Another adapter: the user's choice stays.
    addUsbPort("1-3", "0403", "6015", "FT230X Basic UART", "ftdi_sio", "ttyUSB1", "188:1");
    const QByteArray second = ttyPaths.value("ttyUSB1");
    QTRY_COMPARE_WITH_TIMEOUT(ports->count(), 3, 30000);
    QCOMPARE(ports->currentText(), QStringLiteral("ttyUSB0"));
    QCOMPARE(ports->itemData(2).toString(), QStringLiteral("/dev/ttyUSB1"));
    QCOMPARE(ports->itemData(2, Qt::ToolTipRole).toString(),
             QStringLiteral("FT230X Basic UART (ttyUSB1)\nUSB 0403:6015"));

    // The chosen adapter goes: back to the stored port.
    removePort(usb);
    QTRY_COMPARE_WITH_TIMEOUT(ports->count(), 2, 30000);
    QCOMPARE(ports->currentText(), QStringLiteral("ttyACM0"));

    // All gone: the status bar says what to check.
    removePort(acm);
    removePort(second);
    QTRY_COMPARE_WITH_TIMEOUT(ports->count(), 0, 30000);
    QCOMPARE(window.statusBar()->currentMessage(), noPortMessage);

    // Into an empty list, a new adapter is selected.
    addUsbPort("1-4", "1209", "0001", "Virtual Tester Link", "usbserial_generic", "ttyUSB2",
               "188:2");
    QTRY_COMPARE_WITH_TIMEOUT(ports->count(), 1, 30000);
    QCOMPARE(ports->currentText(), QStringLiteral("ttyUSB2"));
    QCOMPARE(window.statusBar()->currentMessage(), idleMessage);

    // Refresh Ports still reads the list on request.
    ports->clear();
    child<QAction>(window, "actionRefreshPorts")->trigger();
    QCOMPARE(ports->count(), 1);
}

// The removal is announced before the system has taken the port away: the
// list must not keep it for want of a later announcement.
void TestMainWindow::portAnnouncedGoneIsLeftOut()
{
    addAcmDevice();
    addUsbAdapter();
    MainWindow window;
    auto *ports = child<QComboBox>(window, "comPorts");
    QCOMPARE(ports->count(), 2);

    emit window.findChild<Cv::PortWatcher *>()->portsChanged({QStringLiteral("ttyUSB0")});
    QCOMPARE(ports->count(), 1);
    QCOMPARE(ports->itemText(0), QStringLiteral("ttyACM0"));
}

void TestMainWindow::keyboardAndAccessibleNames_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("en") << QStringLiteral("en");
    QTest::newRow("de") << QStringLiteral("de");
}

// In each shipped language every menu, entry and button has a mnemonic of its
// own where the user presses it, and the controls a screen reader announces
// have a name and a description.
void TestMainWindow::keyboardAndAccessibleNames()
{
    QFETCH(QString, language);
    QTranslator catalogue;
    QVERIFY(
        catalogue.load(QStringLiteral(CV_CATALOGUE_DIR "/corvane_velmora_%1.qm").arg(language)));
    QVERIFY(QCoreApplication::installTranslator(&catalogue));
    MainWindow window;
    QCoreApplication::removeTranslator(&catalogue);

    const auto keysOf = [](const QStringList &texts) {
        QStringList keys;
        for (const QString &text : texts) {
            const QKeySequence key = QKeySequence::mnemonic(text);
            keys << (key.isEmpty() ? QStringLiteral("none in ") + text : key.toString());
        }
        return keys;
    };
    const auto expectDistinct = [](const QStringList &keys) {
        QVERIFY2(!keys.join(QLatin1Char(' ')).contains(QLatin1String("none in")),
                 qPrintable(keys.join(QLatin1String(", "))));
        QCOMPARE(QSet<QString>(keys.cbegin(), keys.cend()).size(), keys.size());
    };
    // The menu bar and the buttons share the window.
    QStringList windowTexts;
    for (const QAction *menu : window.menuBar()->actions())
        windowTexts << menu->text();
    for (const char *name : {"downloadBtn", "cancelBtn", "openBtn", "saveBtn"})
        windowTexts << child<QPushButton>(window, name)->text();
    expectDistinct(keysOf(windowTexts));
    for (const char *name : {"menuFile", "menuTools", "menuCountrySettings", "menuHelp"}) {
        QStringList entries;
        for (const QAction *action : child<QMenu>(window, name)->actions())
            entries << action->text();
        expectDistinct(keysOf(entries));
    }

    QCOMPARE(child<QAction>(window, "actionHelp")->shortcut(), QKeySequence(Qt::Key_F1));
    QCOMPARE(child<QAction>(window, "actionRefreshPorts")->shortcut(), QKeySequence(Qt::Key_F5));

    // Tab goes from the port to the buttons of its row, the pane and the
    // buttons under it.
    const QStringList order{"comPorts",       "downloadBtn", "cancelBtn",
                            "outputTextEdit", "openBtn",     "saveBtn"};
    QStringList visited;
    for (QWidget *w = child<QWidget>(window, "comPorts"); visited.size() < order.size();
         w = w->nextInFocusChain()) {
        if (order.contains(w->objectName()) && !visited.contains(w->objectName()))
            visited << w->objectName();
    }
    QCOMPARE(visited, order);

    for (const char *name : {"comPorts", "downloadBtn", "cancelBtn", "outputTextEdit"}) {
        const QWidget *widget = child<QWidget>(window, name);
        QVERIFY2(!widget->accessibleName().isEmpty(), name);
        QVERIFY2(!widget->accessibleDescription().isEmpty(), name);
    }
    if (language == QLatin1String("de"))
        QCOMPARE(child<QWidget>(window, "comPorts")->accessibleName(),
                 QStringLiteral("Serieller Anschluss"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
