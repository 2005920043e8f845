#pragma once

// Windows types, constants and communications functions with the Windows
// layout and documented behaviour, implemented over termios and poll.
// Only serial/ includes this, through win32api.h.

#include <bit>
#include <cstddef>
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using BOOL = int;
using CHAR = char;
using WCHAR = char16_t;
using HANDLE = void *;
using LPVOID = void *;
using LPCVOID = const void *;
using LPDWORD = DWORD *;
using LPCWSTR = const WCHAR *;
using LPWSTR = WCHAR *;
struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED *;
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES *;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

constexpr DWORD MAXDWORD = 0xffffffffu;

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000u;

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_BAD_COMMAND = 22;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_SEM_TIMEOUT = 121;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_IO_DEVICE = 1117;
constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;

constexpr DWORD PURGE_TXABORT = 0x0001;
constexpr DWORD PURGE_RXABORT = 0x0002;
constexpr DWORD PURGE_TXCLEAR = 0x0004;
constexpr DWORD PURGE_RXCLEAR = 0x0008;

constexpr DWORD DTR_CONTROL_DISABLE = 0x00;
constexpr DWORD DTR_CONTROL_ENABLE = 0x01;
constexpr DWORD DTR_CONTROL_HANDSHAKE = 0x02;
constexpr DWORD RTS_CONTROL_DISABLE = 0x00;
constexpr DWORD RTS_CONTROL_ENABLE = 0x01;
constexpr DWORD RTS_CONTROL_HANDSHAKE = 0x02;
constexpr DWORD RTS_CONTROL_TOGGLE = 0x03;

constexpr BYTE NOPARITY = 0;
constexpr BYTE ODDPARITY = 1;
constexpr BYTE EVENPARITY = 2;
constexpr BYTE MARKPARITY = 3;
constexpr BYTE SPACEPARITY = 4;
constexpr BYTE ONESTOPBIT = 0;
constexpr BYTE ONE5STOPBITS = 1;
constexpr BYTE TWOSTOPBITS = 2;

struct DCB
{
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};
using LPDCB = DCB *;

struct COMMTIMEOUTS
{
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};
using LPCOMMTIMEOUTS = COMMTIMEOUTS *;

static_assert(sizeof(DWORD) == 4 && sizeof(WORD) == 2 && sizeof(WCHAR) == 2);
static_assert(sizeof(DCB) == 28);
static_assert(offsetof(DCB, BaudRate) == 4);
static_assert(offsetof(DCB, wReserved) == 12);
static_assert(offsetof(DCB, XonLim) == 14);
static_assert(offsetof(DCB, XoffLim) == 16);
static_assert(offsetof(DCB, ByteSize) == 18);
static_assert(offsetof(DCB, Parity) == 19);
static_assert(offsetof(DCB, StopBits) == 20);
static_assert(offsetof(DCB, XonChar) == 21);
static_assert(offsetof(DCB, XoffChar) == 22);
static_assert(offsetof(DCB, ErrorChar) == 23);
static_assert(offsetof(DCB, EofChar) == 24);
static_assert(offsetof(DCB, EvtChar) == 25);
static_assert(sizeof(COMMTIMEOUTS) == 20);

namespace Win32Layout {
// The flag word as Windows lays it out: a DCB with one flag set, seen as raw
// bytes, must show that flag's documented bit and nothing else.
struct DcbImage
{
    DWORD length;
    DWORD baudRate;
    DWORD flags;
    WORD words[3];
    BYTE bytes[10];
};
static_assert(sizeof(DcbImage) == sizeof(DCB));
constexpr DWORD flagWord(const DCB &dcb)
{
    return std::bit_cast<DcbImage>(dcb).flags;
}
constexpr DCB dcbWithFlags(DWORD fBinary, DWORD fParity, DWORD fOutxCtsFlow, DWORD fOutxDsrFlow,
                           DWORD fDtrControl, DWORD fDsrSensitivity, DWORD fTXContinueOnXoff,
                           DWORD fOutX, DWORD fInX, DWORD fErrorChar, DWORD fNull,
                           DWORD fRtsControl, DWORD fAbortOnError)
{
    // clang-format off
    return DCB{0, 0, fBinary, fParity, fOutxCtsFlow, fOutxDsrFlow, fDtrControl, fDsrSensitivity,
               fTXContinueOnXoff, fOutX, fInX, fErrorChar, fNull, fRtsControl, fAbortOnError,
               0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    // clang-format on
}
static_assert(flagWord(dcbWithFlags(1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)) == 0x0001);
static_assert(flagWord(dcbWithFlags(0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)) == 0x0002);
static_assert(flagWord(dcbWithFlags(0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)) == 0x0004);
static_assert(flagWord(dcbWithFlags(0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0)) == 0x0008);
static_assert(flagWord(dcbWithFlags(0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0)) == 0x0030);
static_assert(flagWord(dcbWithFlags(0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0)) == 0x0040);
static_assert(flagWord(dcbWithFlags(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0)) == 0x0080);
static_assert(flagWord(dcbWithFlags(0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0)) == 0x0100);
static_assert(flagWord(dcbWithFlags(0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0)) == 0x0200);
static_assert(flagWord(dcbWithFlags(0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0)) == 0x0400);
static_assert(flagWord(dcbWithFlags(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0)) == 0x0800);
static_assert(flagWord(dcbWithFlags(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0)) == 0x3000);
static_assert(flagWord(dcbWithFlags(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1)) == 0x4000);
} // namespace Win32Layout

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
BOOL GetCommState(HANDLE hFile, LPDCB lpDCB);
BOOL SetCommState(HANDLE hFile, LPDCB lpDCB);
BOOL SetCommMask(HANDLE hFile, DWORD dwEvtMask);
BOOL SetupComm(HANDLE hFile, DWORD dwInQueue, DWORD dwOutQueue);
BOOL PurgeComm(HANDLE hFile, DWORD dwFlags);
BOOL SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts);
BOOL GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts);
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
BOOL FlushFileBuffers(HANDLE hFile);
BOOL CloseHandle(HANDLE hObject);
DWORD GetLastError();
void SetLastError(DWORD dwErrCode);
