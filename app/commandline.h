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

// What is left of arguments (the program's name first) besides the
// program's own options, as given. After the toolkit has taken its own, these
// are ignored: Windows hands a program file names ("Open with", a file
// dropped on its shortcut), and a program that ended over them would just
// not start, its error stream unseen.
QStringList leftoverArguments(const QStringList &arguments);

// Says in one line on the error stream which of the application object's
// arguments are ignored, if any.
void reportIgnoredArguments();
