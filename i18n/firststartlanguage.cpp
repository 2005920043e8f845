#include "firststartlanguage.h"

QList<qsizetype> firstStartOrder(const QStringList &codes, const QString &systemLanguage)
{
    const auto rank = [&systemLanguage](const QString &code) {
        if (code.compare(systemLanguage, Qt::CaseInsensitive) == 0)
            return 0;
        return code.compare(QLatin1String("en"), Qt::CaseInsensitive) == 0 ? 1 : 2;
    };
    QList<qsizetype> order;
    for (int wanted = 0; wanted <= 2; ++wanted)
        for (qsizetype i = 0; i < codes.size(); ++i)
            if (rank(codes.at(i)) == wanted)
                order.append(i);
    return order;
}
