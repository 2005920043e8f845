#include "germancsv.h"

QByteArray toGermanCsv(QByteArray data)
{
    // Commas first: the decimal commas made next must stay commas.
    data.replace(',', ';');
    data.replace('.', ',');
    return data;
}
