#pragma once
// The known fatal conditions of the client: an unusable type library file, an outdated
// one, and a lost connection to the server. The process-wide exception handler ends the
// client with the text this returns; an empty text means the error is not one of them.

#include <QString>

#include <exception>

QString ClassifyFatalError(const std::exception& error);
