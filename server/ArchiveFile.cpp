#include "server/ArchiveFile.h"

#include "server/Database.h"

#include <QDir>
#include <QtEndian>

#include <sqlite3.h>
#include <zstd.h>

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr char kHeadMagic[8] = {'T', 'V', 'Z', '\x1a', 'A', 'R', 'C', 'H'};
constexpr char kTailMagic[8] = {'T', 'V', 'Z', '\x1a', 'E', 'N', 'D', '\0'};
constexpr qsizetype kHeaderSize = 16;
constexpr qsizetype kTrailerSize = 8 + 8 + 32 + 8;
// A payload this large is refused before anything is unpacked: no archive of this server
// comes near it, and a forged size must not make the server reserve the memory.
constexpr quint64 kMaxPayload = quint64(8) << 30;
constexpr int kCompressionLevel = 3;
constexpr qsizetype kFlushAt = 1 << 20;

enum TValueTag : quint8 { tagNull = 0, tagInteger = 1, tagReal = 2, tagText = 3, tagBlob = 4 };
enum TRowMark : quint8 { markEnd = 0, markRow = 1 };

void PutVarint(QByteArray& out, quint64 value)
{
    while (value >= 0x80) {
        out.append(char((value & 0x7f) | 0x80));
        value >>= 7;
    }
    out.append(char(value));
}

void PutBytes(QByteArray& out, const char* data, qsizetype size)
{
    PutVarint(out, quint64(size));
    out.append(data, size);
}

void PutString(QByteArray& out, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    PutBytes(out, utf8.constData(), utf8.size());
}

void PutInteger(QByteArray& out, qint64 value)
{
    out.append(char(tagInteger));
    PutVarint(out, (quint64(value) << 1) ^ quint64(value >> 63));
}

void PutReal(QByteArray& out, double value)
{
    out.append(char(tagReal));
    char bytes[8];
    qToLittleEndian(value, bytes);
    out.append(bytes, 8);
}

void PutValue(QByteArray& out, const QVariant& value)
{
    if (value.isNull()) {
        out.append(char(tagNull));
        return;
    }
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::Bool:
            PutInteger(out, value.toLongLong());
            return;
        case QMetaType::Double:
        case QMetaType::Float:
            PutReal(out, value.toDouble());
            return;
        case QMetaType::QByteArray: {
            out.append(char(tagBlob));
            const QByteArray bytes = value.toByteArray();
            PutBytes(out, bytes.constData(), bytes.size());
            return;
        }
        default:
            out.append(char(tagText));
            PutString(out, value.toString());
    }
}

QString Damaged(const QString& fileName, const QString& why)
{
    return QStringLiteral("The archive file \"%1\" is damaged: %2.").arg(fileName, why);
}

// Reads the payload, refusing anything that runs past its end.
class TPayloadReader {
public:
    TPayloadReader(const QByteArray& bytes, const QString& fileName) : bytes_(bytes), fileName_(fileName) {}

    bool AtEnd() const { return at_ >= bytes_.size(); }

    quint8 Byte()
    {
        Need(1);
        return quint8(bytes_.at(at_++));
    }

    quint64 Varint()
    {
        quint64 value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const quint8 b = Byte();
            value |= quint64(b & 0x7f) << shift;
            if (!(b & 0x80))
                return value;
        }
        Fail(QStringLiteral("a number is too long"));
    }

    QByteArray Bytes()
    {
        const quint64 size = Varint();
        Need(size);
        const QByteArray out = bytes_.mid(at_, qsizetype(size));
        at_ += qsizetype(size);
        return out;
    }

    QString String()
    {
        const quint64 size = Varint();
        Need(size);
        const QString out = QString::fromUtf8(bytes_.constData() + at_, qsizetype(size));
        at_ += qsizetype(size);
        return out;
    }

    // Passes over one value, checking it as Value does.
    void SkipValue()
    {
        switch (Byte()) {
            case tagNull:
                return;
            case tagInteger:
                Varint();
                return;
            case tagReal:
                Need(8);
                at_ += 8;
                return;
            case tagText:
            case tagBlob: {
                const quint64 size = Varint();
                Need(size);
                at_ += qsizetype(size);
                return;
            }
            default:
                Fail(QStringLiteral("a value has an unknown kind"));
        }
    }

    QVariant Value()
    {
        switch (Byte()) {
            case tagNull:
                return QVariant();
            case tagInteger: {
                const quint64 z = Varint();
                return qint64((z >> 1) ^ (~(z & 1) + 1));
            }
            case tagReal: {
                Need(8);
                const double value = qFromLittleEndian<double>(bytes_.constData() + at_);
                at_ += 8;
                return value;
            }
            case tagText:
                return String();
            case tagBlob:
                return Bytes();
            default:
                Fail(QStringLiteral("a value has an unknown kind"));
        }
    }

    [[noreturn]] void Fail(const QString& why) const { throw EArchiveError(Damaged(fileName_, why)); }

private:
    void Need(quint64 size) const
    {
        if (size > quint64(bytes_.size() - at_))
            Fail(QStringLiteral("its contents end too early"));
    }

    const QByteArray& bytes_;
    QString fileName_;
    qsizetype at_ = 0;
};

// The checks every reader makes; returns the body's size and the payload's.
struct TFrameCheck {
    quint64 PayloadSize = 0;
    quint64 BodySize = 0;
    TArchiveFileInfo Info;
};

QString ChecksumText(const QByteArray& digest)
{
    return QString::fromLatin1(digest.left(12).toHex());
}

TFrameCheck CheckFrame(const QByteArray& bytes, const QString& fileName)
{
    const QString notArchive =
        QStringLiteral("The file \"%1\" is not a Telvane Control calls archive.").arg(fileName);
    if (bytes.size() < qsizetype(sizeof kHeadMagic) ||
        std::memcmp(bytes.constData(), kHeadMagic, sizeof kHeadMagic) != 0)
        throw EArchiveError(notArchive);
    const QString incomplete =
        QStringLiteral("The archive file \"%1\" is incomplete: it ends before its last part (%2 bytes). "
                       "Copy the whole file again.")
            .arg(fileName)
            .arg(bytes.size());
    if (bytes.size() < kHeaderSize)
        throw EArchiveError(incomplete);
    const quint32 version = qFromLittleEndian<quint32>(bytes.constData() + 8);
    if (version > ArchiveFormatVersion)
        throw EArchiveError(QStringLiteral("The archive file \"%1\" was made by a newer server (archive format %2); "
                                           "this server reads format %3 and older.")
                                .arg(fileName)
                                .arg(version)
                                .arg(ArchiveFormatVersion));
    if (version == 0)
        throw EArchiveError(Damaged(fileName, QStringLiteral("its format version is 0")));
    if (bytes.size() < kHeaderSize + kTrailerSize ||
        std::memcmp(bytes.constData() + bytes.size() - 8, kTailMagic, 8) != 0)
        throw EArchiveError(incomplete);
    const char* trailer = bytes.constData() + bytes.size() - kTrailerSize;
    TFrameCheck check;
    check.PayloadSize = qFromLittleEndian<quint64>(trailer);
    check.BodySize = qFromLittleEndian<quint64>(trailer + 8);
    if (check.BodySize != quint64(bytes.size() - kHeaderSize - kTrailerSize))
        throw EArchiveError(Damaged(fileName, QStringLiteral("its size does not match the size it records")));
    const QByteArray digest = QCryptographicHash::hash(
        QByteArrayView(bytes.constData(), bytes.size() - kTrailerSize + 16), QCryptographicHash::Sha256);
    if (std::memcmp(digest.constData(), trailer + 16, 32) != 0)
        throw EArchiveError(Damaged(fileName, QStringLiteral("its checksum does not match its contents")));
    if (check.PayloadSize > kMaxPayload)
        throw EArchiveError(Damaged(fileName, QStringLiteral("it records an impossible size")));
    check.Info.Size = bytes.size();
    check.Info.Checksum = ChecksumText(digest);
    return check;
}

}  // namespace

struct TArchiveWriter::TStream {
    ZSTD_CCtx* Context = ZSTD_createCCtx();
    ~TStream() { ZSTD_freeCCtx(Context); }
};

TArchiveWriter::TArchiveWriter(const QString& path) : file_(path), stream_(std::make_unique<TStream>())
{
    if (!stream_->Context)
        throw EArchiveError(QStringLiteral("The archive cannot be compressed: out of memory."));
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EArchiveError(
            QStringLiteral("The archive file \"%1\" cannot be written: %2").arg(path, file_.errorString()));
    ZSTD_CCtx_setParameter(stream_->Context, ZSTD_c_compressionLevel, kCompressionLevel);
    char header[kHeaderSize] = {};
    std::memcpy(header, kHeadMagic, 8);
    qToLittleEndian(ArchiveFormatVersion, header + 8);
    Write(header, kHeaderSize);
    pending_.reserve(kFlushAt + 4096);
}

TArchiveWriter::~TArchiveWriter()
{
    if (!finished_) {
        file_.close();
        file_.remove();
    }
}

void TArchiveWriter::Write(const char* data, qint64 size)
{
    if (file_.write(data, size) != size)
        throw EArchiveError(QStringLiteral("The archive file \"%1\" cannot be written: %2")
                                .arg(file_.fileName(), file_.errorString()));
    hash_.addData(QByteArrayView(data, size));
}

void TArchiveWriter::Compress(bool end)
{
    payloadSize_ += quint64(pending_.size());
    ZSTD_inBuffer in{pending_.constData(), size_t(pending_.size()), 0};
    QByteArray out(qsizetype(ZSTD_CStreamOutSize()), Qt::Uninitialized);
    for (;;) {
        ZSTD_outBuffer o{out.data(), size_t(out.size()), 0};
        const size_t left = ZSTD_compressStream2(stream_->Context, &o, &in, end ? ZSTD_e_end : ZSTD_e_continue);
        if (ZSTD_isError(left))
            throw EArchiveError(
                QStringLiteral("The archive cannot be compressed: %1").arg(QLatin1String(ZSTD_getErrorName(left))));
        Write(out.constData(), qint64(o.pos));
        bodySize_ += o.pos;
        if (end ? left == 0 : in.pos == in.size)
            break;
    }
    pending_.clear();
}

void TArchiveWriter::BeginTable(const QString& name, const QStringList& columns)
{
    if (columns_ > 0)
        pending_.append(char(markEnd));
    PutString(pending_, name);
    PutVarint(pending_, quint64(columns.size()));
    for (const QString& column : columns)
        PutString(pending_, column);
    columns_ = int(columns.size());
}

void TArchiveWriter::AddRow(const TStatement& statement)
{
    sqlite3_stmt* s = statement.Handle();
    pending_.append(char(markRow));
    for (int i = 0; i < columns_; ++i) {
        switch (sqlite3_column_type(s, i)) {
            case SQLITE_NULL:
                pending_.append(char(tagNull));
                break;
            case SQLITE_INTEGER:
                PutInteger(pending_, sqlite3_column_int64(s, i));
                break;
            case SQLITE_FLOAT:
                PutReal(pending_, sqlite3_column_double(s, i));
                break;
            case SQLITE_TEXT: {
                const char* text = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
                pending_.append(char(tagText));
                PutBytes(pending_, text, sqlite3_column_bytes(s, i));
                break;
            }
            default: {
                const char* blob = static_cast<const char*>(sqlite3_column_blob(s, i));
                pending_.append(char(tagBlob));
                PutBytes(pending_, blob, sqlite3_column_bytes(s, i));
            }
        }
    }
    if (pending_.size() >= kFlushAt)
        Compress(false);
}

void TArchiveWriter::AddRow(const QVariantList& values)
{
    pending_.append(char(markRow));
    for (int i = 0; i < columns_; ++i)
        PutValue(pending_, values.value(i));
}

TArchiveFileInfo TArchiveWriter::Finish()
{
    if (columns_ > 0)
        pending_.append(char(markEnd));
    PutString(pending_, QString());  // no further table
    Compress(true);
    char sizes[16];
    qToLittleEndian(payloadSize_, sizes);
    qToLittleEndian(bodySize_, sizes + 8);
    Write(sizes, 16);
    const QByteArray digest = hash_.result();
    if (file_.write(digest) != digest.size() || file_.write(kTailMagic, 8) != 8 || !file_.flush() ||
        ::fsync(file_.handle()) != 0)
        throw EArchiveError(QStringLiteral("The archive file \"%1\" cannot be written: %2")
                                .arg(file_.fileName(), file_.errorString()));
    TArchiveFileInfo info;
    info.Size = file_.size();
    info.Checksum = ChecksumText(digest);
    file_.close();
    finished_ = true;
    return info;
}

TArchiveFileInfo VerifyArchive(const QByteArray& bytes, const QString& fileName)
{
    return CheckFrame(bytes, fileName).Info;
}

TArchiveFileInfo ReadArchive(const QByteArray& bytes, const QString& fileName, TArchiveRowSink& sink)
{
    const TFrameCheck check = CheckFrame(bytes, fileName);
    QByteArray payload;
    try {
        payload.resize(qsizetype(check.PayloadSize));
    } catch (const std::bad_alloc&) {
        throw EArchiveError(QStringLiteral("The archive file \"%1\" is too large to read.").arg(fileName));
    }
    const size_t got =
        ZSTD_decompress(payload.data(), size_t(payload.size()), bytes.constData() + kHeaderSize, size_t(check.BodySize));
    TPayloadReader in(payload, fileName);
    if (ZSTD_isError(got) || got != check.PayloadSize)
        in.Fail(QStringLiteral("its contents cannot be unpacked"));
    for (;;) {
        const QString name = in.String();
        if (name.isEmpty())
            break;
        const quint64 columns = in.Varint();
        if (columns == 0 || columns > 1000)
            in.Fail(QStringLiteral("the table %1 has %2 columns").arg(name).arg(columns));
        QStringList names;
        for (quint64 i = 0; i < columns; ++i)
            names << in.String();
        const bool wanted = sink.BeginTable(name, names);
        QVariantList row;
        row.reserve(qsizetype(columns));
        for (;;) {
            const quint8 mark = in.Byte();
            if (mark == markEnd)
                break;
            if (mark != markRow)
                in.Fail(QStringLiteral("a row of the table %1 is not marked as one").arg(name));
            if (!wanted) {
                for (quint64 i = 0; i < columns; ++i)
                    in.SkipValue();
                continue;
            }
            row.clear();
            for (quint64 i = 0; i < columns; ++i)
                row << in.Value();
            sink.Row(row);
        }
    }
    if (!in.AtEnd())
        in.Fail(QStringLiteral("it holds more than its tables"));
    return check.Info;
}

bool SyncDirectory(const QString& directory)
{
    const int fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}
