#include "stderrcapture.h"

#include <unistd.h>

StderrCapture::StderrCapture()
{
    std::fflush(stderr);
    saved = ::dup(STDERR_FILENO);
    file = std::tmpfile();
    if (file)
        ::dup2(::fileno(file), STDERR_FILENO);
}

QByteArray StderrCapture::finish()
{
    if (!file)
        return captured;
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    std::rewind(file);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        captured.append(buffer, qsizetype(n));
    std::fclose(file);
    file = nullptr;
    return captured;
}
