#pragma once
// What telvane-client makes of its command line and environment before it needs a
// display: --help and --version are answered at once (so they work on a machine without
// one), and a machine without a display gets one plain sentence instead of the windowing
// system's failure. Qt takes its own options (-platform, -style, ...) afterwards; an
// argument left over after that is refused.
//
//   const TClientStart start = ReadClientCommandLine(arguments, environment);
//   if (start.Kind != TClientStart::Run) { print start.Text; return start.ExitCode; }

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct TClientStart {
    enum TKind { Run, Help, Version, Refused };
    TKind Kind = Run;
    // For standard output (Help, Version) or standard error (Refused), ending in a line break.
    QString Text;
    int ExitCode = 0;
};

// arguments: the whole command line, the program first. Never raises.
TClientStart ReadClientCommandLine(const QStringList& arguments, const QProcessEnvironment& environment);

// What is left of the command line after Qt took its own options (the program first):
// Run, or Refused naming the first argument nobody understood.
TClientStart CheckRemainingArguments(const QStringList& arguments);
