#include "startup.h"

#include "languagesettings.h"
#include "mainwindow.h"
#include "translationloader.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

int runStartupCycles()
{
    for (;;) {
        // Declared first so that it goes last: the window stores its settings
        // and dies while its language is still installed.
        QObject translatorOwner;
        if (!installTranslators(&translatorOwner, translationsDirectory)) {
            const QString folder = QDir(translationsDirectory).absolutePath();
            std::fprintf(stderr, "corvane-velmora: no usable translation catalogue in %s\n",
                         qPrintable(QDir::toNativeSeparators(folder)));
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
