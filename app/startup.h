#pragma once

// Runs the program on an existing application object: one cycle of
// catalogues, main window and event loop, and another for as long as the
// window asks for a restart. Returns the process's exit status: 0, or 1 when
// no application catalogue could be loaded (then only a message box says so).
int runStartupCycles();
