#pragma once
// The type library file "TelvaneServer.tlb" (docs/typelib.md): the callback interfaces
// the server may call, with their identifiers, methods in order, dispatch identifiers and
// argument types. The server build writes it from CallbackInterfaces(); the client loads
// it at start and binds its callback objects to the interfaces it finds there.

#include "remote/CallbackInterfaces.h"

#include <QByteArray>
#include <QList>
#include <QString>

inline constexpr quint16 TypeLibraryFormatVersion = 1;

class TTypeLibrary {
public:
    QString Name;
    QString Guid;
    int MajorVersion = 1;
    int MinorVersion = 0;
    QList<TCallbackInterface> Interfaces;

    // The library as this build describes it: CallbackInterfaces() under the library's
    // name and identifier.
    static TTypeLibrary Current();

    // Reads a file. Raises EOleSysError 0x80029C4A when the file is missing or cannot be
    // read, 0x80028019 when it is not a type library of a format this build knows and
    // 0x80028018 when its content is damaged or truncated.
    static TTypeLibrary Load(const QString& path);
    // The same checks over the file's bytes (path only names the file in messages).
    static TTypeLibrary FromBytes(const QByteArray& bytes, const QString& path = QString());

    // Writes the file (replacing it atomically); raises EInOutError on failure.
    void Write(const QString& path) const;
    QByteArray ToBytes() const;

    // The interface with this identifier (compared without regard to case); Interface
    // raises EOleSysError 0x8002802B ("Element not found.") when the file lacks it.
    const TCallbackInterface* FindInterface(const QString& iid) const;
    const TCallbackInterface& Interface(const QString& iid) const;
};
