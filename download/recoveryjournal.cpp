#include "recoveryjournal.h"

#include "writefully.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#include <algorithm>
#include <utility>

namespace {

const QString namePattern = QStringLiteral("download-*.records");

QString lockPath(const QString &journalPath)
{
    return journalPath + QStringLiteral(".lock");
}

// Only a holder that is gone gives up its lock: a download may run for hours,
// so the lock's age says nothing.
std::unique_ptr<QLockFile> takeLock(const QString &journalPath)
{
    auto lock = std::make_unique<QLockFile>(lockPath(journalPath));
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

} // namespace

QString RecoveryJournal::defaultFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/recovery");
}

RecoveryJournal::RecoveryJournal(QString folder) : folder(std::move(folder)) {}

RecoveryJournal::~RecoveryJournal()
{
    release();
}

bool RecoveryJournal::start()
{
    release();
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        qWarning("corvane-velmora: no folder for a recovery copy of the records: %s",
                 qPrintable(QDir::toNativeSeparators(folder)));
        return false;
    }
    // Names in the order of the downloads, whatever the time zone.
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    for (int attempt = 0; attempt < 20; ++attempt) {
        QString name = QStringLiteral("download-") + stamp;
        if (attempt > 0)
            name += QLatin1Char('-') + QString::number(attempt);
        const QString candidate = QDir(folder).filePath(name + QStringLiteral(".records"));
        lock = takeLock(candidate);
        if (!lock)
            continue;
        file.setFileName(candidate);
        // Unbuffered: each chunk is in the system's hands once append() returns.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            filePath = candidate;
            return true;
        }
        lock.reset();
        if (!QFileInfo::exists(candidate))
            break; // not a clash of names: the folder refuses files
    }
    qWarning("corvane-velmora: no recovery copy of the records in %s: %s",
             qPrintable(QDir::toNativeSeparators(folder)), qPrintable(file.errorString()));
    return false;
}

void RecoveryJournal::append(const QByteArray &bytes)
{
    if (!file.isOpen() || writeFully(file, bytes.constData(), bytes.size()))
        return;
    // What is in the file stays: a beginning of the records is better than
    // none, should the program not live to save them.
    qWarning("corvane-velmora: the recovery copy of the records stopped: %s",
             qPrintable(file.errorString()));
    file.close();
}

void RecoveryJournal::finish()
{
    file.close();
    if (isHeld() && QFileInfo(filePath).size() == 0)
        letGo(true);
}

void RecoveryJournal::discard()
{
    letGo(true);
}

void RecoveryJournal::release()
{
    file.close();
    letGo(isHeld() && QFileInfo(filePath).size() == 0);
}

bool RecoveryJournal::adopt(const Leftover &leftover)
{
    release();
    lock = takeLock(leftover.path);
    if (!lock)
        return false;
    if (!QFileInfo::exists(leftover.path)) {
        lock.reset();
        return false;
    }
    filePath = leftover.path;
    return true;
}

QByteArray RecoveryJournal::records() const
{
    QFile held(filePath);
    if (filePath.isEmpty() || !held.open(QIODevice::ReadOnly))
        return {};
    return held.readAll();
}

void RecoveryJournal::letGo(bool removeFile)
{
    file.close();
    if (removeFile && !filePath.isEmpty())
        QFile::remove(filePath);
    filePath.clear();
    // Last: until here no other program may take the file.
    lock.reset();
}

QList<RecoveryJournal::Leftover> RecoveryJournal::leftovers(const QString &folder)
{
    QList<Leftover> found;
    if (folder.isEmpty())
        return found;
    const QFileInfoList candidates =
        QDir(folder).entryInfoList({namePattern}, QDir::Files, QDir::Name);
    for (const QFileInfo &candidate : candidates) {
        const std::unique_ptr<QLockFile> lock = takeLock(candidate.filePath());
        if (!lock)
            continue; // a running program's download
        const QFileInfo now(candidate.filePath());
        if (!now.exists())
            continue;
        if (now.size() == 0) {
            QFile::remove(now.filePath());
            continue;
        }
        found.append({now.filePath(), now.lastModified(), now.size()});
    }
    // Names that clashed carry a number that sorts before the first one.
    std::stable_sort(found.begin(), found.end(), [](const Leftover &a, const Leftover &b) {
        return a.lastWritten < b.lastWritten;
    });
    return found;
}
