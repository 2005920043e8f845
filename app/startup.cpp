#include "startup.h"

#include "filesizelimit.h"
#include "languagesettings.h"
#include "mainwindow.h"
#include "translationloader.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>

#include <cstdio>

int runStartupCycles()
{
    letWritesFailAtFileSizeLimit();
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
            box.exec();
            return 1;
        }

        bool restart = false;
        {
            MainWindow window;
            window.show();
            QApplication::exec();
            restart = window.restartRequested;
        }
        if (!restart)
            return 0;
    }
}
