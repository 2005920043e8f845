#include "readerprocess.h"

// Windows opens a port for one program only; there is no reader to start.
ReaderProcess::ReaderProcess(const QString &) {}

ReaderProcess::~ReaderProcess() = default;

void ReaderProcess::stop() {}
