#include "payload.h"

#include <QFile>

namespace {

QByteArray recordLines()
{
    QByteArray lines;
    for (int i = 0; lines.size() < 60000; ++i) {
        lines += QByteArray::number(i + 1) + ",2026-12-07," + QByteArray::number(8 + i % 10) + ':' +
                 QByteArray::number(10 + i % 50) + ":00," + QByteArray::number(230 + i % 17) + '.' +
                 QByteArray::number(i % 10) + ',' +
                 QByteArray::number(0.5 + (i % 97) / 10.0, 'f', 2) + ",PASS,RISO," +
                 QByteArray::number(500 + i % 300) + ".0\r\n";
    }
    return lines;
}

} // namespace

Payload::Payload(qint64 size) : pattern(recordLines()), total(size) {}

QByteArray Payload::chunkAt(qint64 offset) const
{
    if (offset < 0 || offset >= total)
        return {};
    const qsizetype start = qsizetype(offset % pattern.size());
    const qsizetype length = qsizetype(qMin<qint64>(pattern.size() - start, total - offset));
    return pattern.mid(start, length);
}

bool Payload::matchesFile(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != total)
        return false;
    qint64 offset = 0;
    while (offset < total) {
        const QByteArray expected = chunkAt(offset);
        if (file.read(expected.size()) != expected)
            return false;
        offset += expected.size();
    }
    return true;
}
