#include "server/DataPackets.h"

#include "server/SqlValues.h"

#include <QDir>
#include <QTemporaryFile>

namespace {

// A rough size of a value on the wire, enough to cut packets near the target size.
qsizetype EstimatedBytes(const QVariant& v)
{
    switch (v.metaType().id()) {
        case QMetaType::QString:
            return 3 + v.toString().size() * 2;
        case QMetaType::QByteArray:
            return 5 + v.toByteArray().size();
        default:
            return 9;
    }
}

QByteArray Encode(const QList<QVariantList>& rows, quint32 id)
{
    TMessage m;
    m.Kind = TMessageKind::Rows;
    m.Id = id;
    m.Rows = rows;
    return EncodeMessage(m);
}

// Where the request number sits in an encoded "rows" message: found by comparing the
// encodings of two numbers, so the codec's layout is not assumed here.
qsizetype IdOffset()
{
    static const qsizetype offset = [] {
        const QByteArray a = Encode({}, 0), b = Encode({}, 1);
        qsizetype i = 0;
        while (i < a.size() && a[i] == b[i])
            ++i;
        return i;
    }();
    return offset;
}

}  // namespace

TRowsPacker::TRowsPacker(qsizetype packetBytes) : packetBytes_(packetBytes) {}

void TRowsPacker::Add(QVariantList row)
{
    for (const QVariant& v : row)
        pendingBytes_ += EstimatedBytes(v);
    pending_.append(std::move(row));
    ++count_;
    if (pendingBytes_ >= packetBytes_)
        Flush();
}

void TRowsPacker::Finish()
{
    if (!pending_.isEmpty())
        Flush();
}

void TRowsPacker::Flush()
{
    QByteArray packet = Encode(pending_, 0);
    // A client drops a connection whose frame exceeds its limit; one huge row must fail
    // its own transfer instead. The margin leaves room for the request number.
    constexpr qsizetype kIdMargin = 16;
    if (packet.size() > qsizetype(DefaultMaxFrameSize) - kIdMargin)
        throw Exception(QStringLiteral("A row is too large to be sent: its packet holds %1 bytes, a client "
                                       "takes at most %2.")
                            .arg(packet.size())
                            .arg(qsizetype(DefaultMaxFrameSize) - kIdMargin));
    bytes_ += packet.size();
    packets_.append(std::move(packet));
    pending_.clear();
    pendingBytes_ = 0;
}

void TRowsPacker::ConvertColumn(int column, TFieldType type)
{
    auto convert = [&](QList<QVariantList>& rows) {
        for (QVariantList& row : rows)
            if (column < row.size())
                row[column] = ConvertToFieldType(row.at(column), type);
    };
    convert(pending_);
    for (QByteArray& packet : packets_) {
        TMessage m = DecodeMessage(packet);
        convert(m.Rows);
        bytes_ -= packet.size();
        packet = Encode(m.Rows, 0);
        bytes_ += packet.size();
    }
}

QByteArray RowsPayloadWithId(const QByteArray& packet, quint32 id)
{
    if (id == 0)
        return packet;
    const qsizetype offset = IdOffset();
    const QByteArray head = Encode({}, id);
    const qsizetype idBytes = head.size() - Encode({}, 0).size() + 1;
    QByteArray out;
    out.reserve(packet.size() + idBytes);
    out.append(head.constData(), offset + idBytes);
    out.append(packet.constData() + offset + 1, packet.size() - offset - 1);
    return out;
}

std::shared_ptr<const TSpilledPackets> TSpilledPackets::Write(const QList<QByteArray>& packets)
{
    auto spilled = std::make_shared<TSpilledPackets>();
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/telvane-result-XXXXXX"));
    file.setAutoRemove(false);
    if (!file.open())
        throw Exception(QStringLiteral("A result cannot be kept in a temporary file: %1").arg(file.errorString()));
    const QString path = file.fileName();
    file.close();
    spilled->file_.setFileName(path);
    const bool opened = spilled->file_.open(QIODevice::ReadWrite);
    QFile::remove(path);  // the open file lives on without a name
    if (!opened)
        throw Exception(QStringLiteral("A result cannot be kept in a temporary file: %1")
                            .arg(spilled->file_.errorString()));
    for (const QByteArray& packet : packets) {
        if (spilled->file_.write(packet) != packet.size())
            throw Exception(QStringLiteral("A result cannot be kept in a temporary file: %1")
                                .arg(spilled->file_.errorString()));
        spilled->offsets_.append(spilled->offsets_.last() + packet.size());
    }
    if (!spilled->file_.flush())
        throw Exception(QStringLiteral("A result cannot be kept in a temporary file: %1")
                            .arg(spilled->file_.errorString()));
    return spilled;
}

QByteArray TSpilledPackets::Packet(qsizetype index) const
{
    const qint64 size = offsets_.at(index + 1) - offsets_.at(index);
    QByteArray packet;
    if (file_.seek(offsets_.at(index)))
        packet = file_.read(size);
    if (packet.size() != size)
        throw Exception(QStringLiteral("A kept result cannot be read back: %1").arg(file_.errorString()));
    return packet;
}
