#pragma once
// The archive file: the calls of one archive, the exchanges they refer to and the archive's
// entry, as the server writes them to disk and reads them back. Only servers read these
// files; the client passes them on as bytes. docs/server.md section 17 gives the layout:
//
//   header   16 bytes  "TVZ\x1a" "ARCH", format version (u32 LE), 0 (u32)
//   body     one zstd frame of the payload (tables of rows, below)
//   trailer  56 bytes  payload size (u64 LE), body size (u64 LE),
//                      SHA-256 of header, body and the two sizes, "TVZ\x1a" "END\0"
//
// Payload: tables, each its name, its column names and its rows; a value is tagged with its
// SQLite storage class. An empty table name ends the payload.
//
//   TArchiveWriter out(path);                  // raises EArchiveError
//   out.BeginTable("CALL", {"ID", "PHONE"});
//   out.AddRow(statement);                     // the statement's current row
//   const TArchiveFileInfo info = out.Finish();  // flushed to disk
//
//   ReadArchive(bytes, "march.tvz", sink);    // verified whole, then read table by table

#include "core/Errors.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

class TStatement;

inline constexpr quint32 ArchiveFormatVersion = 1;

// A file that is not a readable archive, or one that cannot be written. The message is
// meant for the user.
class EArchiveError : public Exception {
public:
    using Exception::Exception;
    QString ClassName() const override { return QStringLiteral("EArchiveError"); }
};

struct TArchiveFileInfo {
    qint64 Size = 0;
    QString Checksum;  // the ARCHIVE entry's CHECKSUM: 24 hex digits of the SHA-256
};

// Writes an archive file. Nothing is complete before Finish: a writer dropped earlier
// removes its file.
class TArchiveWriter {
public:
    explicit TArchiveWriter(const QString& path);
    ~TArchiveWriter();
    TArchiveWriter(const TArchiveWriter&) = delete;
    TArchiveWriter& operator=(const TArchiveWriter&) = delete;

    void BeginTable(const QString& name, const QStringList& columns);
    // The current row of the statement, its first columns() values.
    void AddRow(const TStatement& statement);
    void AddRow(const QVariantList& values);
    // Ends the payload, writes the trailer and flushes the file to disk.
    TArchiveFileInfo Finish();

private:
    void Compress(bool end);
    void Write(const char* data, qint64 size);

    QFile file_;
    QCryptographicHash hash_{QCryptographicHash::Sha256};
    struct TStream;
    std::unique_ptr<TStream> stream_;
    QByteArray pending_;
    int columns_ = 0;
    quint64 payloadSize_ = 0;
    quint64 bodySize_ = 0;
    bool finished_ = false;
};

// Receives the tables of a file as they are read.
class TArchiveRowSink {
public:
    virtual ~TArchiveRowSink() = default;
    // Returns whether the table's rows are wanted; the rows of one that is not are checked
    // but not handed on.
    virtual bool BeginTable(const QString& name, const QStringList& columns) = 0;
    // Values as stored: null, qint64, double, QString, QByteArray.
    virtual void Row(const QVariantList& values) = 0;
};

// Checks the whole file (format, version, completeness, checksum), then hands its tables
// to the sink. Raises EArchiveError with a text that names the file (fileName, without
// directory) and says what is wrong; the checks come before the sink sees anything.
TArchiveFileInfo ReadArchive(const QByteArray& bytes, const QString& fileName, TArchiveRowSink& sink);
// The checksum and size of a file without reading its payload; raises as ReadArchive
// for everything but the payload.
TArchiveFileInfo VerifyArchive(const QByteArray& bytes, const QString& fileName);

// Flushes a directory's entries (a rename in it) to disk; false when it cannot.
bool SyncDirectory(const QString& directory);
