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
    // The group a user can join to use the port (dialout): it owns the node,
    // may read and write it, and is not the administrators' own.
    QString deviceGroup;
    // Who owns the node, where no such group can be named.
    QString deviceOwner;
    // Services that probe every new adapter may hold a port right after it is
    // plugged in.
    bool probedByModemServices = false;
    // The system's own words for the error, untranslated; empty where the
    // verdict is the program's own (a program found on the port, its lock).
    QString systemMessage;
    // The program holding the port, where one can be seen (not on Windows);
    // the command may be unknown when only its process number is.
    QString holderCommand;
    qint64 holderProcessId = 0;
};

OpenFailure describeOpenFailure(const QString &openName, DWORD errorCode, int systemError);

} // namespace Cv
