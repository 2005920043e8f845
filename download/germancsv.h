#pragma once

#include <QByteArray>

// Comma-separated data in the German number format: every "," becomes ";",
// then every "." becomes ",". Byte by byte; nothing else changes.
QByteArray toGermanCsv(QByteArray data);
