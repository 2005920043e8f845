#include "umockdevbed.h"

UmockdevBed::UmockdevBed() : m_bed(umockdev_testbed_new()) {}

UmockdevBed::~UmockdevBed()
{
    g_object_unref(m_bed);
}

bool UmockdevBed::active()
{
    return umockdev_in_mock_environment();
}

bool UmockdevBed::add(const char *description, QByteArray *error)
{
    GError *failure = nullptr;
    const bool added = umockdev_testbed_add_from_string(m_bed, description, &failure);
    if (error)
        *error = failure ? QByteArray(failure->message) : QByteArray();
    g_clear_error(&failure);
    return added;
}

void UmockdevBed::unplug(const QByteArray &sysPath)
{
    umockdev_testbed_uevent(m_bed, sysPath.constData(), "remove");
    umockdev_testbed_remove_device(m_bed, sysPath.constData());
}

void UmockdevBed::clear()
{
    umockdev_testbed_clear(m_bed);
}
