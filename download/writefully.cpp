#include "writefully.h"

#include <QIODevice>

bool writeFully(QIODevice &device, const char *data, qint64 size)
{
    qint64 written = 0;
    while (written < size) {
        const qint64 count = device.write(data + written, size - written);
        if (count <= 0)
            return false;
        written += count;
    }
    return true;
}
