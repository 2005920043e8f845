#pragma once

#include <QByteArray>
#include <QList>

namespace Cv {

class SerialPortSettings;

// The line of a download and what is said on it: 9600 bit/s, 8N1, DTR and RTS
// raised, no flow control (every field assigned), then the two commands that
// ask the tester for its records. One place, for the window and the tests.
SerialPortSettings *downloadLineSettings(); // the caller owns it
QList<QByteArray> downloadCommands();

} // namespace Cv
