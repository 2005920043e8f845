#include "openfailure.h"

namespace Cv {

OpenFailure describeOpenFailure(const QString &, DWORD errorCode, int systemError)
{
    OpenFailure failure;
    const DWORD code = systemError != 0 ? DWORD(systemError) : errorCode;

    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    if (length > 0 && text)
        failure.systemMessage = QString::fromWCharArray(text, int(length)).trimmed();
    LocalFree(text);

    switch (code) {
    case ERROR_ACCESS_DENIED: // what Windows answers for a port another program holds
    case ERROR_SHARING_VIOLATION:
        failure.reason = OpenFailure::Reason::InUse;
        break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
        failure.reason = OpenFailure::Reason::NotPresent;
        break;
    default:
        break;
    }
    return failure;
}

} // namespace Cv
