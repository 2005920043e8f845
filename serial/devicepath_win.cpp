#include "devicepath.h"

namespace Cv {

QStringView devicePathPrefix()
{
    return u"\\\\.\\";
}

} // namespace Cv
