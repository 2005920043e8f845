#include "devicepath.h"

namespace Cv {

QStringView devicePathPrefix()
{
    return {};
}

} // namespace Cv
