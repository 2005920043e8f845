#pragma once

#include <QStringList>

// The program's own options, --help and --version. They are looked at before
// the application object exists, so that both answer on a terminal without a
// display; every other argument is left to the toolkit.
enum class CommandLineRequest { RunWindow, ShowHelp, ShowVersion };

CommandLineRequest commandLineRequest(const QStringList &arguments);

// Prints the help or version text (a message box where a GUI program has no
// console) and ends the process with status 0. Needs the application object
// and its identity.
[[noreturn]] void answerCommandLine(CommandLineRequest request);

// After the toolkit has taken its own options from the application object's
// arguments, anything left is a mistake: says so and ends the process with
// status 1; returns when nothing is left.
void refuseUnknownArguments();
