#include "startup.h"

#include "filesizelimit.h"
#include "languagesettings.h"
#include "mainwindow.h"
#include "quitrequests.h"
#include "translationloader.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QSessionManager>
#include <QTimer>

#include <cstdio>

int runStartupCycles()
{
    letWritesFailAtFileSizeLimit();
    // From the system, a request to end is a close without questions: the
    // settings are written as on File > Exit, records not saved wait for the
    // next start in their journal.
    QuitRequests quitRequests;
    bool quitRequested = false;
    bool firstCycle = true;
    for (;;) {
        // Declared first so that it goes last: the window stores its settings
        // and dies while its language is still installed.
        QObject translatorOwner;
        if (!installTranslators(&translatorOwner, translationsDirectory)) {
            const QString folder = QDir(translationsDirectory).absolutePath();
            const QString where = QDir::toNativeSeparators(folder);
            std::fprintf(stderr, "corvane-velmora: no usable translation catalogue in %s\n",
                         qPrintable(where));
            // Started from a menu, the program must not just vanish. There is
            // no catalogue to translate this with, so it is in English.
            QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(),
                            QStringLiteral("The program cannot start: no usable translation "
                                           "catalogue in \"%1\".")
                                .arg(where),
                            QMessageBox::Ok);
            QObject::connect(&quitRequests, &QuitRequests::requested, &box, &QMessageBox::reject);
            box.exec();
            return 1;
        }

        bool restart = false;
        {
            MainWindow window;
            const auto endSession = [&window, &quitRequested] {
                quitRequested = true;
                window.endSession();
            };
            QObject::connect(&quitRequests, &QuitRequests::requested, &window, endSession);
            // The session manager would wait for answers nobody gives.
            QObject::connect(qApp, &QGuiApplication::commitDataRequest, &window, endSession);
            window.show();
            // Once per process: a new language gives no new chance to say Later.
            if (firstCycle)
                QTimer::singleShot(0, &window, [&window] { window.offerRecoveredRecords(); });
            firstCycle = false;
            QApplication::exec();
            restart = window.restartRequested && !quitRequested;
        }
        if (!restart)
            return 0;
    }
}
