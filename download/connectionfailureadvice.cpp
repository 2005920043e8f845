#include "connectionfailureadvice.h"

#include "openfailure.h"

#include <QCoreApplication>

// The texts belong to the window's catalogue context, next to the box they
// complete.
QString connectionFailureAdvice(const Cv::OpenFailure &failure, const QString &portName)
{
    using Reason = Cv::OpenFailure::Reason;

    QString advice;
    switch (failure.reason) {
    case Reason::NoPermission:
        if (failure.deviceGroup.isEmpty() && !failure.deviceOwner.isEmpty()) {
            advice = QCoreApplication::translate(
                         "MainWindow",
                         "%1 is open to its owner (%2) only. Ask the administrator for access, "
                         "for example with a udev rule that gives the port to the group dialout.",
                         "%1 is a port name such as ttyS0, %2 the user owning it, usually root. "
                         "Keep udev and dialout as they are.")
                         .arg(portName, failure.deviceOwner);
        } else if (failure.deviceGroup.isEmpty()) {
            advice =
                QCoreApplication::translate(
                    "MainWindow",
                    "You are not allowed to use the port %1. Ask your administrator for access "
                    "to it.",
                    "%1 is a port name such as ttyUSB0 or COM3")
                    .arg(portName);
        } else {
            advice =
                QCoreApplication::translate(
                    "MainWindow",
                    "You are not allowed to use the port %1. Add your user to the group \"%2\" "
                    "(for example: sudo usermod -aG %2 $USER), then log out and log in again.",
                    "%1 is a port name such as ttyUSB0, %2 the group owning the port, usually "
                    "dialout. Keep the command as it is.")
                    .arg(portName, failure.deviceGroup);
        }
        break;
    case Reason::InUse:
        if (failure.holderProcessId != 0 && failure.holderCommand.isEmpty()) {
            advice = QCoreApplication::translate(
                         "MainWindow", "%1 is in use by another program (process %2)",
                         "%1 is a port name such as ttyUSB0, %2 the process number of the program "
                         "holding it")
                         .arg(portName, QString::number(failure.holderProcessId)) +
                     QLatin1String("\n\n") +
                     QCoreApplication::translate("MainWindow", "Close that program and try again.");
            break;
        }
        if (failure.holderProcessId != 0) {
            advice = QCoreApplication::translate(
                         "MainWindow", "%1 is in use by %2 (process %3)",
                         "%1 is a port name such as ttyUSB0, %2 the name of the program holding "
                         "it, such as cat, %3 its process number")
                         .arg(portName, failure.holderCommand,
                              QString::number(failure.holderProcessId)) +
                     QLatin1String("\n\n") +
                     QCoreApplication::translate("MainWindow", "Close that program and try again.");
            break;
        }
        advice = QCoreApplication::translate(
                     "MainWindow",
                     "The port %1 is in use by another program. Close that program and try again.",
                     "%1 is a port name such as ttyUSB0 or COM3")
                     .arg(portName);
        if (failure.probedByModemServices) {
            advice += QLatin1Char(' ') +
                      QCoreApplication::translate(
                          "MainWindow",
                          "Right after an adapter is plugged in, a modem service may hold the port "
                          "for a few seconds: wait a moment and try again, or stop that service.");
        }
        break;
    case Reason::NotPresent:
        if (portName.isEmpty()) {
            advice = QCoreApplication::translate(
                "MainWindow",
                "No port is selected. Plug the adapter in, choose \"Refresh Ports\" in the "
                "Tools menu and select its port.");
        } else {
            advice = QCoreApplication::translate(
                         "MainWindow",
                         "The port %1 is not present. Plug the adapter in again, choose \"Refresh "
                         "Ports\" in the Tools menu and select its port.",
                         "%1 is a port name such as ttyUSB0 or COM3")
                         .arg(portName);
        }
        break;
    case Reason::Unknown:
        break;
    }

    if (!failure.systemMessage.isEmpty()) {
        const QString said = QCoreApplication::translate("MainWindow", "The system reported: %1",
                                                         "%1 is the system's own error message")
                                 .arg(failure.systemMessage);
        advice = advice.isEmpty() ? said : advice + QLatin1String("\n\n") + said;
    }
    return advice;
}
