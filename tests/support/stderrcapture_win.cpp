#include "stderrcapture.h"

#include <io.h>

StderrCapture::StderrCapture()
{
    std::fflush(stderr);
    saved = ::_dup(_fileno(stderr));
    file = std::tmpfile();
    if (file)
        ::_dup2(::_fileno(file), _fileno(stderr));
}

QByteArray StderrCapture::finish()
{
    if (!file)
        return captured;
    std::fflush(stderr);
    ::_dup2(saved, _fileno(stderr));
    ::_close(saved);
    std::rewind(file);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        captured.append(buffer, qsizetype(n));
    std::fclose(file);
    file = nullptr;
    return captured;
}
