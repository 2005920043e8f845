// Prints the serial ports the program would offer, one row each, with what
// the system says about them: what a technician runs when the list looks wrong.

#include "portenumerator.h"

#include <QList>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

namespace {

QString hexId(qint32 id)
{
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0')).toUpper();
}

void printRow(QTextStream &out, const QStringList &cells, const QList<qsizetype> &widths)
{
    QString line;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += QLatin1String("  ");
        line += i + 1 < cells.size() ? cells[i].leftJustified(widths[i]) : cells[i];
    }
    out << line << '\n';
}

} // namespace

int main()
{
    QList<PortInfo> ports;
    enumeratePorts(ports);

    QTextStream out(stdout);
    if (ports.isEmpty()) {
        out << "No serial ports found.\n";
        return 0;
    }

    const QStringList header = {QStringLiteral("Port"),         QStringLiteral("Open name"),
                                QStringLiteral("VID"),          QStringLiteral("PID"),
                                QStringLiteral("Enumerator"),   QStringLiteral("Friendly name"),
                                QStringLiteral("Physical name")};
    QList<QStringList> rows;
    for (const PortInfo &port : ports) {
        rows.append({port.portName, port.openName, hexId(port.vendorId), hexId(port.productId),
                     port.enumeratorName, port.friendlyName, port.physicalName});
    }

    QList<qsizetype> widths;
    for (const QString &title : header)
        widths.append(title.size());
    for (const QStringList &row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }

    printRow(out, header, widths);
    QStringList rule;
    for (qsizetype width : widths)
        rule.append(QString(width, QLatin1Char('-')));
    printRow(out, rule, widths);
    for (const QStringList &row : rows)
        printRow(out, row, widths);
    return 0;
}
