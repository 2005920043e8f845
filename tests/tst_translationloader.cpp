#include "dialoglanguage.h"
#include "firststartlanguage.h"
#include "languagesettings.h"
#include "translationloader.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>

namespace {

// Counts the language dialogs built while it watches: a dialog under
// construction receives child events for its form's widgets.
class DialogWatcher : public QObject
{
public:
    DialogWatcher() { qApp->installEventFilter(this); }
    ~DialogWatcher() override { qApp->removeEventFilter(this); }

    bool sawDialog() const { return !dialogs.isEmpty(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ChildAdded && qobject_cast<DialogLanguage *>(watched))
            dialogs.insert(watched);
        return false;
    }

private:
    QSet<QObject *> dialogs;
};

struct Message
{
    QString context;
    QString source;
    QString comment;
    QString translation; // of a text with plural forms, all of them one after the other
    bool numerus = false;
};

QList<Message> readTsFile(const QString &path)
{
    QList<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    Message current;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("message"))
            current = Message{
                context, {}, {}, {}, xml.attributes().value(QLatin1String("numerus")) == u"yes"};
        else if (xml.name() == QLatin1String("source"))
            current.source = xml.readElementText();
        else if (xml.name() == QLatin1String("comment"))
            current.comment = xml.readElementText();
        else if (xml.name() == QLatin1String("translation")) {
            current.translation = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            messages.append(current);
        }
    }
    return xml.hasError() ? QList<Message>() : messages;
}

QString translate(const char *context, const char *source)
{
    return QCoreApplication::translate(context, source);
}

} // namespace

class TestTranslationLoader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstStartTakesSystemLanguage();
    void firstStartOrder_data();
    void firstStartOrder();
    void firstStartFollowsSystemLanguage_data();
    void firstStartFollowsSystemLanguage();
    void storedPathThatLoadsIsKept();
    void unusableStoredPathIsReplaced_data();
    void unusableStoredPathIsReplaced();
    void noApplicationCatalogue_data();
    void noApplicationCatalogue();
    void capitalQtPrefixIsAnApplicationCatalogue();
    void emptyStoredCodeGivesNeutralLocale();
    void damagedCatalogueIsPassedOver_data();
    void damagedCatalogueIsPassedOver();
    void noCatalogueLoads();
    void shippedCataloguesAreComplete();
    void cataloguesHoldExactlyTheTextsOfTheCode();
    void programFolderOffersTheBuildsLanguagesOnly();

private:
    void addCatalogue(const QString &compiled, const QString &name);
    void addFile(const QString &name, const QByteArray &content);
    static void store(const QString &path, const QString &code);
    static QString storedPath()
    {
        return QSettings().value(dialogLanguageFilePathKey()).toString();
    }
    static QString storedCode()
    {
        return QSettings().value(dialogLanguageIso639CodeKey()).toString();
    }

    std::unique_ptr<QTemporaryDir> workDir;
    std::unique_ptr<QObject> owner;
    QString startDir;
    QLocale startLocale;
};

void TestTranslationLoader::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("CORVANE"));
    QCoreApplication::setApplicationName(QStringLiteral("Corvane Velmora"));
    startDir = QDir::currentPath();
    startLocale = QLocale();
}

void TestTranslationLoader::init()
{
    QSettings().clear();
    workDir = std::make_unique<QTemporaryDir>();
    QVERIFY(workDir->isValid());
    QVERIFY(QDir::setCurrent(workDir->path()));
    owner = std::make_unique<QObject>();
}

void TestTranslationLoader::cleanup()
{
    owner.reset();
    QDir::setCurrent(startDir);
    workDir.reset();
    QLocale::setDefault(startLocale);
    QSettings().clear();
}

void TestTranslationLoader::addCatalogue(const QString &compiled, const QString &name)
{
    QDir().mkpath(translationsDirectory);
    const QString from = QStringLiteral(CV_LANGTEST_DIR "/%1.qm").arg(compiled);
    QVERIFY2(QFile::copy(from, translationsDirectory + QLatin1Char('/') + name), qPrintable(from));
}

void TestTranslationLoader::addFile(const QString &name, const QByteArray &content)
{
    QDir().mkpath(translationsDirectory);
    QFile file(translationsDirectory + QLatin1Char('/') + name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

void TestTranslationLoader::store(const QString &path, const QString &code)
{
    QSettings settings;
    settings.setValue(dialogLanguageFilePathKey(), path);
    settings.setValue(dialogLanguageIso639CodeKey(), code);
}

namespace {

const QLocale germanSystem(QLocale::German, QLocale::Germany);

} // namespace

void TestTranslationLoader::firstStartTakesSystemLanguage()
{
    addCatalogue(QStringLiteral("langtest_en"), QStringLiteral("velmora_en.qm"));
    addCatalogue(QStringLiteral("langtest_de"), QStringLiteral("velmora_de.qm"));
    addCatalogue(QStringLiteral("langtest_toolkit"), QStringLiteral("qt_de.qm"));

    QVERIFY(installTranslators(owner.get(), translationsDirectory, germanSystem));

    QCOMPARE(storedPath(), QStringLiteral("Translations/velmora_de.qm"));
    QCOMPARE(storedCode(), QStringLiteral("de"));
    QCOMPARE(QLocale().name(), QStringLiteral("de_DE"));
    QCOMPARE(translate("MainWindow", "&Download"), QStringLiteral("Herunterladen"));
    QCOMPARE(translate("LanguageProbe", "Toolkit only"), QStringLiteral("toolkit text"));
    // Both catalogues know this text; the one installed last answers.
    QCOMPARE(translate("LanguageProbe", "Which catalogue answers?"), QStringLiteral("toolkit"));

    owner.reset();
    QCOMPARE(translate("MainWindow", "&Download"), QStringLiteral("&Download"));
    QCOMPARE(translate("LanguageProbe", "Toolkit only"), QStringLiteral("Toolkit only"));
}

void TestTranslationLoader::firstStartOrder_data()
{
    QTest::addColumn<QStringList>("codes");
    QTest::addColumn<QString>("system");
    QTest::addColumn<QList<qsizetype>>("order");
    const QStringList deEnFr{QStringLiteral("de"), QStringLiteral("en"), QStringLiteral("fr")};
    QTest::newRow("system's language first")
        << deEnFr << QStringLiteral("fr") << QList<qsizetype>{2, 1, 0};
    QTest::newRow("no catalogue of it: English")
        << deEnFr << QStringLiteral("it") << QList<qsizetype>{1, 0, 2};
    QTest::newRow("neutral locale: English")
        << deEnFr << QStringLiteral("C") << QList<qsizetype>{1, 0, 2};
    QTest::newRow("no English: by name") << QStringList{QStringLiteral("de"), QStringLiteral("it")}
                                         << QStringLiteral("C") << QList<qsizetype>{0, 1};
    // A damaged catalogue of the language is passed over for the next one of it.
    QTest::newRow("two of the language")
        << QStringList{QStringLiteral("de"), QStringLiteral("en"), QStringLiteral("DE")}
        << QStringLiteral("de") << QList<qsizetype>{0, 2, 1};
    QTest::newRow("none") << QStringList() << QStringLiteral("de") << QList<qsizetype>();
}

void TestTranslationLoader::firstStartOrder()
{
    QFETCH(QStringList, codes);
    QFETCH(QString, system);
    QFETCH(QList<qsizetype>, order);
    QCOMPARE(::firstStartOrder(codes, system), order);
}

void TestTranslationLoader::firstStartFollowsSystemLanguage_data()
{
    QTest::addColumn<QLocale>("system");
    QTest::addColumn<QStringList>("catalogues");
    QTest::addColumn<QString>("chosen");
    const QStringList all{QStringLiteral("de"), QStringLiteral("en"), QStringLiteral("fr")};
    const QStringList deEn{QStringLiteral("de"), QStringLiteral("en")};
    QTest::newRow("de") << germanSystem << all << QStringLiteral("de");
    QTest::newRow("fr") << QLocale(QLocale::French, QLocale::France) << all << QStringLiteral("fr");
    QTest::newRow("fr, no French catalogue")
        << QLocale(QLocale::French, QLocale::France) << deEn << QStringLiteral("en");
    QTest::newRow("C") << QLocale::c() << all << QStringLiteral("en");
    QTest::newRow("C, no English catalogue")
        << QLocale::c() << QStringList{QStringLiteral("fr"), QStringLiteral("de")}
        << QStringLiteral("de");
}

// With several catalogues the first start takes the system's language; the
// catalogue files only differ in their names here.
void TestTranslationLoader::firstStartFollowsSystemLanguage()
{
    QFETCH(QLocale, system);
    QFETCH(QStringList, catalogues);
    QFETCH(QString, chosen);
    for (const QString &code : catalogues)
        addCatalogue(code == u"en" ? QStringLiteral("langtest_en") : QStringLiteral("langtest_de"),
                     QStringLiteral("velmora_%1.qm").arg(code));

    QVERIFY(installTranslators(owner.get(), translationsDirectory, system));

    QCOMPARE(storedPath(), QStringLiteral("Translations/velmora_%1.qm").arg(chosen));
    QCOMPARE(storedCode(), chosen);
    QCOMPARE(QLocale().name().left(2), chosen);
    // A stored choice wins over the system's language at the next start.
    owner = std::make_unique<QObject>();
    QVERIFY(installTranslators(owner.get(), translationsDirectory,
                               QLocale(QLocale::Italian, QLocale::Italy)));
    QCOMPARE(storedCode(), chosen);
}

void TestTranslationLoader::storedPathThatLoadsIsKept()
{
    addCatalogue(QStringLiteral("langtest_de"), QStringLiteral("velmora_de.qm"));
    addCatalogue(QStringLiteral("langtest_en"), QStringLiteral("velmora_en.qm"));
    addCatalogue(QStringLiteral("langtest_toolkit"), QStringLiteral("qt_de.qm"));
    // The code need not match the catalogue; the locale follows the code.
    store(QStringLiteral("Translations/velmora_en.qm"), QStringLiteral("fr"));

    DialogWatcher watcher;
    QVERIFY(installTranslators(owner.get(), translationsDirectory));

    QVERIFY(!watcher.sawDialog());
    QCOMPARE(storedPath(), QStringLiteral("Translations/velmora_en.qm"));
    QCOMPARE(storedCode(), QStringLiteral("fr"));
    QCOMPARE(QLocale().language(), QLocale::French);
    QCOMPARE(translate("MainWindow", "&Download"), QStringLiteral("Fetch records"));
    // No qt_fr.qm, so the German toolkit catalogue stays out.
    QCOMPARE(translate("LanguageProbe", "Which catalogue answers?"),
             QStringLiteral("application en"));
}

void TestTranslationLoader::unusableStoredPathIsReplaced_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("file gone") << QStringLiteral("Translations/velmora_fr.qm");
    QTest::newRow("nothing stored") << QString();
    QTest::newRow("other working directory")
        << QStringLiteral("../elsewhere/Translations/velmora_en.qm");
    QTest::newRow("not a catalogue") << QStringLiteral("Translations/notes.txt");
}

void TestTranslationLoader::unusableStoredPathIsReplaced()
{
    QFETCH(QString, stored);
    addCatalogue(QStringLiteral("langtest_en"), QStringLiteral("velmora_en.qm"));
    addCatalogue(QStringLiteral("langtest_de"), QStringLiteral("velmora_de.qm"));
    addFile(QStringLiteral("notes.txt"), "not a catalogue");
    if (!stored.isNull())
        store(stored, QStringLiteral("fr"));

    DialogWatcher watcher;
    QVERIFY(installTranslators(owner.get(), translationsDirectory, germanSystem));

    QVERIFY(watcher.sawDialog());
    QCOMPARE(storedPath(), QStringLiteral("Translations/velmora_de.qm"));
    QCOMPARE(storedCode(), QStringLiteral("de"));
    QCOMPARE(QLocale().language(), QLocale::German);
    QCOMPARE(translate("MainWindow", "&Download"), QStringLiteral("Herunterladen"));
}

void TestTranslationLoader::noApplicationCatalogue_data()
{
    QTest::addColumn<QStringList>("toolkitFiles");
    QTest::addColumn<bool>("makeFolder");
    QTest::newRow("no folder") << QStringList() << false;
    QTest::newRow("empty folder") << QStringList() << true;
    QTest::newRow("only toolkit catalogues")
        << QStringList{QStringLiteral("qt_de.qm"), QStringLiteral("qt_en.qm")} << true;
}

void TestTranslationLoader::noApplicationCatalogue()
{
    QFETCH(QStringList, toolkitFiles);
    QFETCH(bool, makeFolder);
    if (makeFolder)
        addFile(QStringLiteral("notes.txt"), "not a catalogue");
    for (const QString &name : toolkitFiles)
        addCatalogue(QStringLiteral("langtest_toolkit"), name);
    const QLocale german(QLocale::German, QLocale::Germany);
    QLocale::setDefault(german);

    QVERIFY(!installTranslators(owner.get(), translationsDirectory));

    QVERIFY(QSettings().allKeys().isEmpty());
    QCOMPARE(QLocale().name(), german.name());
    QCOMPARE(translate("MainWindow", "&Download"), QStringLiteral("&Download"));
    // The toolkit catalogue is still sought for the unchanged locale.
    const QString expected =
        toolkitFiles.isEmpty() ? QStringLiteral("Toolkit only") : QStringLiteral("toolkit text");
    QCOMPARE(translate("LanguageProbe", "Toolkit only"), expected);
}

void TestTranslationLoader::capitalQtPrefixIsAnApplicationCatalogue()
{
    addCatalogue(QStringLiteral("langtest_toolkit"), QStringLiteral("qt_de.qm"));
    if (QFileInfo::exists(translationsDirectory + QStringLiteral("/QT_de.qm")))
        QSKIP("file names that differ only in case name one file here");
    addCatalogue(QStringLiteral("langtest_de"), QStringLiteral("QT_de.qm"));

    QVERIFY(installTranslators(owner.get(), translationsDirectory));

    QCOMPARE(storedPath(), QStringLiteral("Translations/QT_de.qm"));
    QCOMPARE(storedCode(), QStringLiteral("de"));
    QCOMPARE(translate("MainWindow", "&Download"), QStringLiteral("Herunterladen"));
}

void TestTranslationLoader::emptyStoredCodeGivesNeutralLocale()
{
    addCatalogue(QStringLiteral("langtest_en"), QStringLiteral("velmora_en.qm"));
    // Named after what the neutral locale asks for, to show that it is asked for.
    addCatalogue(QStringLiteral("langtest_toolkit"), QStringLiteral("qt_C.qm"));
    store(QStringLiteral("Translations/velmora_en.qm"), QString());

    QVERIFY(installTranslators(owner.get(), translationsDirectory));

    QCOMPARE(QLocale().language(), QLocale::C);
    QCOMPARE(QLocale().name(), QStringLiteral("C"));
    QCOMPARE(storedCode(), QString());
    QCOMPARE(translate("MainWindow", "&Download"), QStringLiteral("Fetch records"));
    QCOMPARE(translate("LanguageProbe", "Toolkit only"), QStringLiteral("toolkit text"));
}

void TestTranslationLoader::damagedCatalogueIsPassedOver_data()
{
    QFile good(QStringLiteral(CV_LANGTEST_DIR "/langtest_de.qm"));
    QVERIFY(good.open(QIODevice::ReadOnly));
    const QByteArray catalogue = good.readAll();

    QTest::addColumn<QByteArray>("damaged");
    QTest::addColumn<bool>("storedChoice"); // the damaged file was the user's choice
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("truncated") << catalogue.left(catalogue.size() / 2) << false;
    QTest::newRow("not a catalogue") << QByteArray(64, 'x') << false;
    QTest::newRow("stored choice truncated") << catalogue.left(catalogue.size() / 2) << true;
}

// A damaged catalogue that sorts first neither stops the program nor becomes
// the choice, and is left as it is.
void TestTranslationLoader::damagedCatalogueIsPassedOver()
{
    QFETCH(QByteArray, damaged);
    QFETCH(bool, storedChoice);
    addFile(QStringLiteral("broken_de.qm"), damaged);
    addCatalogue(QStringLiteral("langtest_en"), QStringLiteral("velmora_en.qm"));
    if (storedChoice)
        store(QStringLiteral("Translations/broken_de.qm"), QStringLiteral("de"));

    // The damaged one is of the system's language, so it is tried first.
    QVERIFY(installTranslators(owner.get(), translationsDirectory, germanSystem));

    QCOMPARE(storedPath(), QStringLiteral("Translations/velmora_en.qm"));
    QCOMPARE(storedCode(), QStringLiteral("en"));
    QCOMPARE(QLocale().language(), QLocale::English);
    QCOMPARE(translate("MainWindow", "&Download"), QStringLiteral("Fetch records"));
    QFile file(translationsDirectory + QStringLiteral("/broken_de.qm"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), damaged);
}

void TestTranslationLoader::noCatalogueLoads()
{
    addFile(QStringLiteral("broken_de.qm"), QByteArray(64, 'x'));
    addFile(QStringLiteral("empty_en.qm"), QByteArray());
    const QLocale french(QLocale::French, QLocale::France);
    QLocale::setDefault(french);

    QVERIFY(!installTranslators(owner.get(), translationsDirectory));

    QVERIFY(QSettings().allKeys().isEmpty());
    QCOMPARE(QLocale().name(), french.name());
    QCOMPARE(translate("MainWindow", "&Download"), QStringLiteral("&Download"));
}

void TestTranslationLoader::shippedCataloguesAreComplete()
{
    const QString sources = qEnvironmentVariable("CV_SOURCE_DIR") + QStringLiteral("/i18n/");
    const QList<Message> english = readTsFile(sources + QStringLiteral("corvane_velmora_en.ts"));
    QVERIFY(!english.isEmpty());
    QTranslator compiledEnglish;
    QVERIFY(compiledEnglish.load(QStringLiteral(CV_CATALOGUE_DIR "/corvane_velmora_en.qm")));

    for (const QString &language : QStringLiteral(CV_LANGUAGES).split(QLatin1Char(','))) {
        if (language == u"en")
            continue;
        const QList<Message> translated =
            readTsFile(sources + QStringLiteral("corvane_velmora_%1.ts").arg(language));
        QCOMPARE(translated.size(), english.size());
        QTranslator compiledTranslation;
        QVERIFY(compiledTranslation.load(
            QStringLiteral(CV_CATALOGUE_DIR "/corvane_velmora_%1.qm").arg(language)));

        for (int i = 0; i < english.size(); ++i) {
            const Message &en = english.at(i);
            const Message &de = translated.at(i);
            const QString where =
                language + QLatin1Char(':') + en.context + QLatin1Char('/') + en.source;
            QVERIFY2(de.context == en.context && de.source == en.source && de.comment == en.comment,
                     qPrintable(where));

            const QByteArray source = en.source.toUtf8();
            const QByteArray comment = en.comment.toUtf8();
            const char *disambiguation = en.comment.isEmpty() ? nullptr : comment.constData();
            const QByteArray context = en.context.toLatin1();
            QVERIFY2(en.numerus == de.numerus, qPrintable(where));
            // Texts with plural forms: the form for one and for many.
            for (const int n : en.numerus ? QList<int>{1, 2} : QList<int>{-1}) {
                const QString translatedText = compiledTranslation.translate(
                    context.constData(), source.constData(), disambiguation, n);
                QVERIFY2(!translatedText.isEmpty(), qPrintable(where));
                for (const QString &marker : {QStringLiteral("%1"), QStringLiteral("%2"),
                                              QStringLiteral("%Ln"), QStringLiteral("\n")})
                    QVERIFY2(translatedText.count(marker) == en.source.count(marker),
                             qPrintable(where));

                const QString englishText = compiledEnglish.translate(
                    context.constData(), source.constData(), disambiguation, n);
                // Only plural forms need an English entry; one for one thing differs.
                if (n == 1)
                    QVERIFY2(!englishText.isEmpty() && englishText != en.source, qPrintable(where));
                else
                    QVERIFY2(englishText.isEmpty() || englishText == en.source, qPrintable(where));
            }
        }
    }
}

// A text added to or changed in the code without its catalogue entry would
// show untranslated; an entry whose text is gone is dead weight.
void TestTranslationLoader::cataloguesHoldExactlyTheTextsOfTheCode()
{
#ifndef CV_LUPDATE
    QSKIP("no lupdate this test can start; the native build compares the catalogues");
#else
    const QString sources = qEnvironmentVariable("CV_SOURCE_DIR");
    const QString scanned = workDir->filePath(QStringLiteral("scanned.ts"));
    QProcess lupdate;
    lupdate.start(QStringLiteral(CV_LUPDATE),
                  {QStringLiteral("-silent"), QStringLiteral("-no-obsolete"),
                   sources + QStringLiteral("/ui"), sources + QStringLiteral("/download"),
                   sources + QStringLiteral("/i18n"), QStringLiteral("-ts"), scanned});
    QVERIFY2(lupdate.waitForFinished(120000), "lupdate did not finish");
    QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
             lupdate.readAllStandardError().constData());

    const auto keys = [](const QList<Message> &messages) {
        QStringList list;
        for (const Message &message : messages)
            list << message.context + QLatin1Char('|') + message.source + QLatin1Char('|') +
                        message.comment;
        list.sort();
        return list;
    };
    const QStringList inCode = keys(readTsFile(scanned));
    QVERIFY(inCode.size() > 30);
    for (const QString &language : QStringLiteral(CV_LANGUAGES).split(QLatin1Char(','))) {
        const QStringList inCatalogue =
            keys(readTsFile(sources + QStringLiteral("/i18n/corvane_velmora_%1.ts").arg(language)));
        QStringList missing;
        for (const QString &key : inCode)
            if (!inCatalogue.contains(key))
                missing << key;
        QStringList unused;
        for (const QString &key : inCatalogue)
            if (!inCode.contains(key))
                unused << key;
        QVERIFY2(missing.isEmpty(),
                 qPrintable(language + QStringLiteral(" lacks: ") + missing.join(u'\n')));
        QVERIFY2(unused.isEmpty(),
                 qPrintable(language + QStringLiteral(" has unused: ") + unused.join(u'\n')));
    }
#endif
}

// The toolkit's German catalogue loads further catalogues whose names do not
// begin with "qt_"; beside the program they would be offered as languages.
void TestTranslationLoader::programFolderOffersTheBuildsLanguagesOnly()
{
    const QString shipped =
        QCoreApplication::applicationDirPath() + QStringLiteral("/Translations");
    const DialogLanguage scanner(shipped);
    QStringList offered;
    for (int i = 0; i < scanner.languageCombo()->count(); ++i)
        offered << scanner.languageCombo()->itemData(i, Qt::UserRole + 1).toString();
    offered.sort();
    QStringList built = QStringLiteral(CV_LANGUAGES).split(QLatin1Char(','));
    built.sort();
    QCOMPARE(offered, built);

    // The toolkit's catalogue comes with each language.
    for (const QString &code : built) {
        QTranslator toolkit;
        QVERIFY2(toolkit.load(shipped + QStringLiteral("/qt_%1.qm").arg(code)), qPrintable(code));
        if (code == u"de")
            QCOMPARE(toolkit.translate("QPlatformTheme", "&Yes"), QStringLiteral("&Ja"));
    }
}

QTEST_MAIN(TestTranslationLoader)
#include "tst_translationloader.moc"
