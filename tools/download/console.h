#pragma once

// What the command needs of the console it runs in, per system.

// Standard output takes the records' bytes unchanged, and a reader that went
// away shows as a failed write rather than ending the command unannounced.
void prepareStandardOutput();

// Whether standard error is a terminal, where one line can be rewritten.
bool standardErrorIsTerminal();
