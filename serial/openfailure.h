#pragma once

#include "win32api.h"

#include <QString>

namespace Cv {

// Why a port could not be opened, in terms a user can act on. Built from the
// Windows code and the system's own error number that the device keeps.
struct OpenFailure
{
    enum class Reason {
        Unknown,
        NoPermission,
        InUse,
        NotPresent,
    };

    Reason reason = Reason::Unknown;
    // The group that owns the device node, where the system has one (dialout).
    QString deviceGroup;
    // Services that probe every new adapter may hold a port right after it is
    // plugged in.
    bool probedByModemServices = false;
    // The system's own words for the error, untranslated.
    QString systemMessage;
    // The program holding the port, where one can be seen (not on Windows).
    QString holderCommand;
    qint64 holderProcessId = 0;
};

OpenFailure describeOpenFailure(const QString &openName, DWORD errorCode, int systemError);

} // namespace Cv
