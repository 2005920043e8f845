#pragma once

#include <QLatin1StringView>
#include <QWidget>

// A widget of the window by its object name, as the window's code names it.
template<typename T> T *child(const QWidget &window, const char *name)
{
    return window.findChild<T *>(QLatin1StringView(name));
}
