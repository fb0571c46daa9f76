#include "server/DataPackets.h"

#include "server/SqlValues.h"

#include <QDir>
#include <QTemporaryFile>
#include <QtEndian>

#include <cstring>
#include <utility>

namespace {

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

// A packet is laid out as EncodeMessage lays out a "rows" message with request number 0
// and its rows last, so that the number can be put in the same way; the rows then follow as
// an array of indefinite length, and what closes the message follows when the packet is
// closed.
struct TPacketFrame {
    QByteArray Head;  // up to the rows array
    QByteArray Tail;  // after it
};

const TPacketFrame& PacketFrame()
{
    static const TPacketFrame frame = [] {
        const QByteArray empty = Encode({}, 0);
        const qsizetype rows = empty.lastIndexOf(char(0x80));  // the empty rows array
        return TPacketFrame{empty.left(rows), empty.mid(rows + 1)};
    }();
    return frame;
}

void StartPacket(TCborWriter& w)
{
    const QByteArray& head = PacketFrame().Head;
    w.Raw(head.constData(), head.size());
    w.IndefiniteArray();
}

void EndPacket(TCborWriter& w)
{
    w.Break();
    const QByteArray& tail = PacketFrame().Tail;
    w.Raw(tail.constData(), tail.size());
}

void WriteRow(TCborWriter& w, const QVariantList& row)
{
    w.ArrayHead(static_cast<quint64>(row.size()));
    for (const QVariant& v : row) {
        const QByteArray value = EncodeValue(v);
        w.Raw(value.constData(), value.size());
    }
}

// A client drops a connection whose frame exceeds its limit; one huge row must fail its
// own transfer instead. The margin leaves room for the request number.
void CheckPacketSize(qsizetype bytes)
{
    constexpr qsizetype kIdMargin = 16;
    if (bytes > qsizetype(DefaultMaxFrameSize) - kIdMargin)
        throw Exception(QStringLiteral("A row is too large to be sent: its packet holds %1 bytes, a client "
                                       "takes at most %2.")
                            .arg(bytes)
                            .arg(qsizetype(DefaultMaxFrameSize) - kIdMargin));
}

}  // namespace

TRowsPacker::TRowsPacker(qsizetype packetBytes, qint64 spillAbove)
    : packetBytes_(packetBytes), spillAbove_(spillAbove)
{
}

std::shared_ptr<const TSpilledPackets> TRowsPacker::Spilled() const
{
    return spilled_;
}

void TRowsPacker::Add(const QVariantList& row)
{
    if (writer_.Size() == 0)
        StartPacket(writer_);
    WriteRow(writer_, row);
    EndRow();
}

TCborWriter& TRowsPacker::BeginRow(int columns)
{
    if (writer_.Size() == 0) {
        writer_.Reserve(packetBytes_ + packetBytes_ / 4);
        StartPacket(writer_);
    }
    writer_.ArrayHead(static_cast<quint64>(columns));
    return writer_;
}

void TRowsPacker::EndRow()
{
    ++count_;
    if (writer_.Size() >= packetBytes_)
        Flush();
}

void TRowsPacker::Finish()
{
    if (writer_.Size() > 0)
        Flush();
}

void TRowsPacker::Flush()
{
    EndPacket(writer_);
    CheckPacketSize(writer_.Size());
    Keep(writer_.Data(), writer_.Size());
    writer_.Clear();
}

void TRowsPacker::Keep(const char* data, qsizetype size)
{
    if (!spilled_ && spillAbove_ > 0 && bytes_ + size > spillAbove_) {
        try {
            spilled_ = TSpilledPackets::Create();
            for (const QByteArray& packet : std::as_const(packets_))
                spilled_->Append(packet.constData(), packet.size());
            packets_.clear();
        } catch (const Exception&) {
            spilled_.reset();  // kept in memory, as far as the budget allows
        }
    }
    bytes_ += size;
    if (spilled_)
        spilled_->Append(data, size);
    else
        packets_.append(QByteArray(data, size));
}

void TRowsPacker::ConvertColumn(int column, TFieldType type)
{
    Finish();
    QList<QByteArray> packets;
    if (spilled_) {
        for (qsizetype i = 0; i < spilled_->Count(); ++i)
            packets.append(spilled_->Packet(i));
        spilled_.reset();
    } else {
        packets = std::exchange(packets_, {});
    }
    bytes_ = 0;
    for (const QByteArray& packet : std::as_const(packets)) {
        TMessage m = DecodeMessage(packet);
        for (QVariantList& row : m.Rows)
            if (column < row.size())
                row[column] = ConvertToFieldType(row.at(column), type);
        writer_.Clear();
        StartPacket(writer_);
        for (const QVariantList& row : std::as_const(m.Rows))
            WriteRow(writer_, row);
        EndPacket(writer_);
        CheckPacketSize(writer_.Size());
        Keep(writer_.Data(), writer_.Size());
    }
    writer_.Clear();
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

QByteArray RowsFrameWithId(const QByteArray& packet, quint32 id)
{
    const qsizetype offset = IdOffset();
    const QByteArray head = Encode({}, id);
    const qsizetype idBytes = head.size() - Encode({}, 0).size() + 1;
    const qsizetype payload = packet.size() - 1 + idBytes;
    QByteArray out(4 + payload, Qt::Uninitialized);
    char* p = out.data();
    qToBigEndian<quint32>(static_cast<quint32>(payload), p);
    std::memcpy(p + 4, head.constData(), static_cast<size_t>(offset + idBytes));
    std::memcpy(p + 4 + offset + idBytes, packet.constData() + offset + 1,
                static_cast<size_t>(packet.size() - offset - 1));
    return out;
}

std::shared_ptr<TSpilledPackets> TSpilledPackets::Create()
{
    auto spilled = std::make_shared<TSpilledPackets>();
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/telvane-result-XXXXXX"));
    file.setAutoRemove(false);
    if (!file.open())
        throw Exception(QStringLiteral("A result cannot be kept in a temporary file: %1").arg(file.errorString()));
    const QString path = file.fileName();
    file.close();
    spilled->file_.setFileName(path);
    const bool opened = spilled->file_.open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    QFile::remove(path);  // the open file lives on without a name
    if (!opened)
        throw Exception(QStringLiteral("A result cannot be kept in a temporary file: %1")
                            .arg(spilled->file_.errorString()));
    return spilled;
}

void TSpilledPackets::Append(const char* data, qsizetype size)
{
    if (!file_.seek(offsets_.last()) || file_.write(data, size) != size)
        throw Exception(
            QStringLiteral("A result cannot be kept in a temporary file: %1").arg(file_.errorString()));
    offsets_.append(offsets_.last() + size);
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
