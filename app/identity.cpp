#include "identity.h"
#include "version.h"

#include <QCoreApplication>
#include <QString>

void setApplicationIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("CORVANE"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("corvane.example"));
    QCoreApplication::setApplicationName(QStringLiteral("Corvane Velmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CV_VERSION));
}
