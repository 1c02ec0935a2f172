#pragma once

#include <QStringList>

class QIODevice;

// The pickup from a script: the window's load, entry check, pickup, sort and Save, without a
// window and without a display.
//
//   vornel --pick DATA [--and LIST] [--or LIST] [--not-and LIST] [--not-or LIST]
//          [--header] [--sort asc|desc] [--encoding auto|cp932|utf-8]
//          [--fields auto|plain|quoted] [--output FILE] [--quiet]
//   vornel --pick DATA --set SET [the options above but the four list files]
//   vornel --help | --version
//
// Without --sort the file is read, picked and written batch by batch (PickStream): the memory
// stays a few batches whatever the file's size, and the result is the same.
// Lines whose comma count does not fit the first line are skipped (as the data-error dialog's
// Skip does) and reported on standard error. The result is written as Save writes it, to FILE or
// to standard output. Exit status: 0 done, 1 a file or an entry failed (one line on standard
// error, no output file left behind), 2 the command line itself is wrong (the usage text follows).
namespace PickCommand {

enum ExitStatus { Done = 0, Failed = 1, UsageError = 2 };

// True when the arguments (without the program's name) are for the command line; false when they
// start the window (none, or a data file to open, or Qt's own window options).
bool isCommandLine(const QStringList& arguments);

// Runs the command line. out receives the result when no output file is given (and the help and
// version texts), err every message; progress is shown on err when showProgress is set.
int run(const QStringList& arguments, QIODevice& out, QIODevice& err, bool showProgress);

// The lines of the usage text (also part of --help).
QString usageText();

} // namespace PickCommand
