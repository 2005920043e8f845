#pragma once

#include "recordfilewriter.h"

#include <QByteArray>
#include <QList>
#include <QString>

class QFile;

// The place a save writes into, as the system sees it, and what writing
// there needs of the system.
class SaveTarget
{
public:
    enum class Kind {
        File,   // or nothing yet: the save creates or replaces a file
        Device, // written into as it is, never replaced
        Refused // neither: refusal() says why
    };

    // A link counts as what it leads to.
    explicit SaveTarget(const QString &path);

    Kind kind() const { return targetKind; }
    QString refusal() const { return refusalReason; }

    RecordFileResult writeIntoDevice(const QList<QByteArray> &blocks) const;

    // Empty if the open file may be rewritten with newSize bytes and, should
    // that fail, with its oldSize bytes once more; else the system's reason.
    static QString lackOfRoom(const QFile &file, qint64 newSize, qint64 oldSize);

    // Empty once what was written to the file is on the disk; else the
    // system's reason.
    static QString syncToDisk(const QFile &file);

private:
    QString path;
    Kind targetKind = Kind::File;
    QString refusalReason;
};
