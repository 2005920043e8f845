#pragma once

// The Win32 communications and SetupAPI subset the serial code is written
// against. Windows supplies it; elsewhere a small layer in this folder does.
#ifdef _WIN32
// Also set for the whole build; here for whoever compiles this folder alone.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include "setupapi_posix.h"
#include "win32api_posix.h"
#endif

// The operating system's own error number behind the last failed call of
// this thread: GetLastError() on Windows, errno on POSIX. GetLastError()
// alone folds several reasons (no permission, in use) into one code.
int cvLastSystemErrorNumber();
