#pragma once

#include <QtGlobal>

// Lowers the process's file size limit for its lifetime, where the system has
// one (not Windows): the way the tests make a write fail part-way.
class FileSizeCap
{
public:
    explicit FileSizeCap(quint64 bytes);
    ~FileSizeCap();
    FileSizeCap(const FileSizeCap &) = delete;
    FileSizeCap &operator=(const FileSizeCap &) = delete;

    bool isActive() const { return active; }

private:
    bool active = false;
    quint64 saved = 0;
};
