#pragma once
// Starts an external program or opens a document with the desktop's default handler.

#include "core/Errors.h"

#include <QString>

// The system refused to start or open something; the message is the system's.
class EOSError : public Exception {
public:
    using Exception::Exception;
    QString ClassName() const override;
};

// An executable file is started detached with the parameters (split like a command line)
// in the directory (empty: the current one); anything else is opened with its default
// handler, the parameters then being meaningless. showMode is the caller's wish for the
// new window, which the desktop decides on its own. A failure raises EOSError.
void RunProgram(const QString& file, const QString& parameters, const QString& directory, int showMode);
void RunFile(const QString& file, const QString& parameters, int showMode);
