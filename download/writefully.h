#pragma once

#include <QtGlobal>

class QIODevice;

// Writes all size bytes, or fails with the reason in the device's
// errorString(). A full disk or a file size limit first shows as a short
// write with no error; only the write of the rest fails, and says why.
bool writeFully(QIODevice &device, const char *data, qint64 size);
