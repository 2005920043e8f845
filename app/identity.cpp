#include "identity.h"
#include "version.h"

#include <QGuiApplication>
#include <QString>

void setApplicationIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("CORVANE"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("corvane.example"));
    QCoreApplication::setApplicationName(QStringLiteral("Corvane Velmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CV_VERSION));
    // Docks and task switchers find the window's icon through the desktop
    // entry of this name; it is also the package's AppStream id.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QGuiApplication::setDesktopFileName(QStringLiteral("example.corvane.Velmora"));
}
