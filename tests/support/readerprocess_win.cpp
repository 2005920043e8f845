#include "readerprocess.h"

// Windows opens a port for one program only; there is no reader to start.
ReaderProcess::ReaderProcess(const QString &path, Kind) : m_path(path) {}

ReaderProcess::~ReaderProcess() = default;

bool ReaderProcess::hasOpened() const
{
    return false;
}

void ReaderProcess::stop() {}
