// Paints the program's icon at every size it ships in and writes the PNGs and
// the Windows icon group. Usage: iconpainter <output folder>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace {

// Drawn on a 256 x 256 grid; small sizes drop the fine detail that would only blur.
QImage paintIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    const bool small = size < 32;
    const bool medium = size < 64;

    // Sky tile.
    QLinearGradient sky(0, 0, 0, 256);
    sky.setColorAt(0.0, QColor(0x2b, 0x7c, 0xd3));
    sky.setColorAt(1.0, QColor(0x0e, 0x3a, 0x73));
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    const qreal margin = small ? 4 : 8;
    p.drawRoundedRect(QRectF(margin, margin, 256 - 2 * margin, 256 - 2 * margin), 44, 44);

    // Sun with rays, upper right.
    const QPointF sun(178, 78);
    if (!small) {
        p.setPen(QPen(QColor(0xff, 0xd5, 0x4f), medium ? 14 : 10, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 8; ++i) {
            const qreal a = qDegreesToRadians(i * 45.0 + 22.5);
            p.drawLine(sun + QPointF(qCos(a), qSin(a)) * 44, sun + QPointF(qCos(a), qSin(a)) * 62);
        }
    }
    QRadialGradient glow(sun, 36);
    glow.setColorAt(0.0, QColor(0xff, 0xf1, 0x9c));
    glow.setColorAt(1.0, QColor(0xff, 0xb3, 0x00));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(sun, small ? 42 : 34, small ? 42 : 34);

    // Solar panel in perspective, lower left.
    const QPointF tl(40, 128), tr(176, 128), br(220, 216), bl(30, 216);
    QPainterPath panel;
    panel.moveTo(tl);
    panel.lineTo(tr);
    panel.lineTo(br);
    panel.lineTo(bl);
    panel.closeSubpath();
    QLinearGradient cells(0, 128, 0, 216);
    cells.setColorAt(0.0, QColor(0x1a, 0x23, 0x7e));
    cells.setColorAt(1.0, QColor(0x0d, 0x12, 0x4a));
    p.setBrush(cells);
    p.setPen(
        QPen(QColor(0xe3, 0xf2, 0xfd), small ? 16 : 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(panel);

    // Cell grid: rows and columns interpolated along the panel's edges.
    const int rows = small ? 1 : medium ? 2 : 3;
    const int columns = small ? 2 : medium ? 3 : 4;
    p.setPen(QPen(QColor(0x90, 0xca, 0xf9), small ? 10 : medium ? 6 : 4));
    for (int r = 1; r <= rows; ++r) {
        const qreal t = qreal(r) / (rows + 1);
        p.drawLine(tl + (bl - tl) * t, tr + (br - tr) * t);
    }
    for (int c = 1; c <= columns; ++c) {
        const qreal t = qreal(c) / (columns + 1);
        p.drawLine(tl + (tr - tl) * t, bl + (br - bl) * t);
    }

    // Download arrow: the records flow from the tester into the computer.
    if (!small) {
        QPainterPath arrow;
        arrow.moveTo(96, 30);
        arrow.lineTo(124, 30);
        arrow.lineTo(124, 70);
        arrow.lineTo(146, 70);
        arrow.lineTo(110, 110);
        arrow.lineTo(74, 70);
        arrow.lineTo(96, 70);
        arrow.closeSubpath();
        p.setPen(QPen(QColor(0x0e, 0x3a, 0x73), 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(QColor(0xff, 0xff, 0xff));
        p.drawPath(arrow);
    }
    p.end();
    return image;
}

// One 32-bit DIB entry of an icon group: colour rows bottom-up, then the AND mask.
QByteArray dibEntry(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    const int maskStride = ((w + 31) / 32) * 4;
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(40) << qint32(w) << qint32(2 * h) << quint16(1) << quint16(32) << quint32(0)
        << quint32(w * h * 4 + maskStride * h) << qint32(0) << qint32(0) << quint32(0)
        << quint32(0);
    for (int y = h - 1; y >= 0; --y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            out << quint8(qBlue(line[x])) << quint8(qGreen(line[x])) << quint8(qRed(line[x]))
                << quint8(qAlpha(line[x]));
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(maskStride, '\0');
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            if (qAlpha(line[x]) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        out.writeRawData(row.constData(), row.size());
    }
    return data;
}

bool writeIco(const QString &path, const QList<QImage> &images)
{
    QList<QByteArray> entries;
    for (const QImage &image : images)
        entries.append(dibEntry(image));
    QByteArray ico;
    QDataStream out(&ico, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(images.size());
    quint32 offset = 6 + 16 * quint32(images.size());
    for (qsizetype i = 0; i < images.size(); ++i) {
        const int size = images.at(i).width();
        out << quint8(size >= 256 ? 0 : size) << quint8(size >= 256 ? 0 : size) << quint8(0)
            << quint8(0) << quint16(1) << quint16(32) << quint32(entries.at(i).size()) << offset;
        offset += quint32(entries.at(i).size());
    }
    for (const QByteArray &entry : entries)
        out.writeRawData(entry.constData(), entry.size());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(ico) == ico.size();
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        qWarning("usage: iconpainter <output folder>");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    bool ok = paintIcon(256).save(out.filePath(QStringLiteral("Corvane.png")));
    for (const int size : {48, 64, 128}) {
        const QString name = QStringLiteral("corvane-velmora-%1.png").arg(size);
        ok = paintIcon(size).save(out.filePath(name)) && ok;
    }
    QList<QImage> group;
    for (const int size : {16, 24, 32, 48, 64})
        group.append(paintIcon(size));
    ok = writeIco(out.filePath(QStringLiteral("corvane.ico")), group) && ok;
    return ok ? 0 : 1;
}
