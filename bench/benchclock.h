#pragma once

#include <QByteArray>
#include <QFile>
#include <QMap>
#include <QString>

#include <time.h>

// One clock for every process of a run: CLOCK_MONOTONIC is shared by the
// driver, the tester and the window, so their times can be subtracted.
inline qint64 monotonicNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Results pass between processes as "key=value" lines in a file.
inline bool writeResults(const QString &path, const QMap<QString, QString> &values)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray text;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        text += it.key().toUtf8() + '=' + it.value().toUtf8() + '\n';
    return file.write(text) == text.size();
}

inline QMap<QString, QString> readResults(const QString &path)
{
    QMap<QString, QString> values;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return values;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0)
            values.insert(QString::fromUtf8(line.left(eq)), QString::fromUtf8(line.mid(eq + 1)));
    }
    return values;
}
