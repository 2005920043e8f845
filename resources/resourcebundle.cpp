#include "resourcebundle.h"

#include <QtGlobal>

void initResourceBundle()
{
    Q_INIT_RESOURCE(corvane);
}
