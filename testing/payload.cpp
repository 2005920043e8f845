#include "payload.h"

#include <QFile>
#include <QFileInfo>

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

QByteArray shaped(Payload::Shape shape)
{
    QByteArray lines = recordLines();
    if (shape == Payload::Shape::Records)
        return lines;
    QByteArray text = lines.replace("\r\n", ";");
    if (shape == Payload::Shape::NoBreak)
        return text;
    QByteArray result;
    for (qsizetype at = 0; at + 78 <= text.size(); at += 78)
        result += text.mid(at, 78) + "\r\n";
    return result;
}

} // namespace

Payload::Payload(qint64 size, Shape shape) : pattern(shaped(shape)), total(size) {}

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
    return QFileInfo(path).size() == total && startsFile(path);
}

bool Payload::startsFile(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0 || file.size() > total)
        return false;
    const qint64 length = file.size();
    qint64 offset = 0;
    while (offset < length) {
        const QByteArray expected = chunkAt(offset).left(qsizetype(length - offset));
        if (file.read(expected.size()) != expected)
            return false;
        offset += expected.size();
    }
    return true;
}
