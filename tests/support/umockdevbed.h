#pragma once

// Before any Qt header: GLib uses "signals" as a name.
#include <umockdev.h>

#include <QByteArray>

// A device test bed of umockdev, for as long as it lives; the test runs under
// umockdev-wrapper, which redirects /sys and /dev to it.
class UmockdevBed
{
public:
    UmockdevBed();
    ~UmockdevBed();
    UmockdevBed(const UmockdevBed &) = delete;
    UmockdevBed &operator=(const UmockdevBed &) = delete;

    // Whether the program runs under umockdev-wrapper; only a live bed
    // redirects what this looks at.
    static bool active();

    UMockdevTestbed *get() const { return m_bed; }
    // Devices in umockdev's text form; the reason where they were refused.
    bool add(const char *description, QByteArray *error = nullptr);
    // As the kernel takes a device away: it announces its removal and goes.
    void unplug(const QByteArray &sysPath);
    void clear();

private:
    UMockdevTestbed *m_bed;
};
