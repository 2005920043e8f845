#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>

#include <memory>

class QLockFile;

// Keeps the records of a download in a file as they arrive, so that a kill, a
// crash, a power cut or the end of the session does not take them with the
// program: the next start finds the file and offers its records. The file
// goes once its records are saved or deliberately let go.
//
// Each journal has a lock file beside it for as long as a program holds it,
// so that a second program started meanwhile does not offer (or remove) the
// records of a download that is still in a window. A program that died
// leaves a stale lock, which the next one takes over.
//
// A disk that fails never stops a download: the journal stops writing, and
// the records are then in memory only.
class RecoveryJournal
{
public:
    // A journal that no running program holds.
    struct Leftover
    {
        QString path;
        QDateTime lastWritten;
        qint64 size = 0;
    };

    // The user's data folder, below the application's identity.
    static QString defaultFolder();

    explicit RecoveryJournal(QString folder = defaultFolder());
    // Lets the journal go; it stays for the next start unless it is empty.
    ~RecoveryJournal();
    RecoveryJournal(const RecoveryJournal &) = delete;
    RecoveryJournal &operator=(const RecoveryJournal &) = delete;

    // A new journal for a new download. A journal held before is let go
    // first, as by release(). False when no file could be made.
    bool start();
    // Writes through to the file: what a kill leaves is what had arrived.
    void append(const QByteArray &bytes);
    // The download is over: no more bytes come. A journal that holds none
    // goes at once; any other stays held.
    void finish();
    // The records are saved or let go on purpose: the file goes.
    void discard();
    // The file stays for the next start, and this journal no longer holds it.
    void release();
    // Takes over a leftover, as if this journal had written it and finished.
    // False when it is gone or another program took it meanwhile.
    bool adopt(const Leftover &leftover);

    bool isHeld() const { return !filePath.isEmpty(); }
    QString path() const { return filePath; }
    // The bytes in the held file.
    QByteArray records() const;

    // Journals no running program holds, oldest first. Empty ones are
    // removed on the way: nothing in them to offer.
    static QList<Leftover> leftovers(const QString &folder = defaultFolder());

private:
    bool lockFor(const QString &journalPath);
    void letGo(bool removeFile);

    const QString folder;
    QString filePath;
    QFile file;
    std::unique_ptr<QLockFile> lock;
};
