#include "displaycheck.h"

#include <QtGlobal>

QString missingDisplay(const QStringList &arguments)
{
    // A platform chosen by hand (offscreen, a framebuffer) needs no display.
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM") ||
        arguments.contains(QLatin1String("-platform")))
        return {};
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return {};
    return QStringLiteral("no display to show the window on (neither DISPLAY nor "
                          "WAYLAND_DISPLAY is set)");
}
