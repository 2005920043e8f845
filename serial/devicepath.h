#pragma once

#include <QStringView>

namespace Cv {

// What a port name needs in front to become a device path for CreateFileW.
// Windows wants the device namespace; the POSIX layer resolves bare names
// under /dev itself, so there it is empty.
QStringView devicePathPrefix();

} // namespace Cv
