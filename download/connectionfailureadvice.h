#pragma once

#include <QString>

namespace Cv {
struct OpenFailure;
} // namespace Cv

// What the technician can do about a port that would not open, in the
// window's language. Empty when nothing useful can be said.
QString connectionFailureAdvice(const Cv::OpenFailure &failure, const QString &portName);
