#pragma once

#include <QByteArray>

#include <cstdio>

// Redirects the C runtime's standard error into a temporary file for its
// lifetime, where the device writes its diagnostics.
class StderrCapture
{
public:
    StderrCapture();
    ~StderrCapture() { finish(); }
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;

    QByteArray finish();

private:
    int saved = -1;
    std::FILE *file = nullptr;
    QByteArray captured;
};
