#pragma once
// Dataset rows as ready-encoded "rows" messages of about 256 KiB of encoded bytes each. A
// result is encoded once, where it is read, and streamed from these packets as often as
// it is opened; only the request number is put in when a packet is sent. Rows are written
// straight into the packet being filled, either from values (Add) or value by value by a
// caller that encodes them itself (BeginRow ... EndRow).

#include "remote/Protocol.h"
#include "server/CborWriter.h"
#include "server/ResultBudget.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <memory>

inline constexpr qsizetype DefaultPacketBytes = 256 * 1024;

class TSpilledPackets;

class TRowsPacker {
public:
    // spillAbove > 0: once the packets take more than this many bytes, they go to a
    // temporary file (TSpilledPackets) as they are closed, and the packet buffer is reused;
    // when no file can be made they stay in memory.
    explicit TRowsPacker(qsizetype packetBytes = DefaultPacketBytes, qint64 spillAbove = 0);

    // Raises EProtocolError for a value of a type that cannot be sent.
    void Add(const QVariantList& row);
    // A row written by the caller: exactly `columns` values in the wire's value encoding
    // go to the writer, then EndRow.
    TCborWriter& BeginRow(int columns);
    void EndRow();
    // Closes the packet being filled; call once after the last row. Raises Exception when
    // one packet grew beyond what a client takes (a single huge row), or when the
    // temporary file cannot be written.
    void Finish();
    // Converts one column of every row packed so far (used when a column's type is only
    // known after its first values have been encoded).
    void ConvertColumn(int column, TFieldType type);

    // The packets kept in memory, or (after spilling) none and the file.
    const QList<QByteArray>& Packets() const { return packets_; }
    std::shared_ptr<const TSpilledPackets> Spilled() const;
    qint64 RowCount() const { return count_; }
    qint64 EncodedBytes() const { return bytes_; }
    // The bytes of the rows packed so far, in memory or in the file: what a result being
    // read is charged, so that neither the memory nor the temporary folder takes a result
    // without bound.
    qint64 Footprint() const { return bytes_ + writer_.Size(); }

private:
    void Flush();
    void Keep(const char* data, qsizetype size);
    qsizetype packetBytes_;
    qint64 spillAbove_;
    TCborWriter writer_;  // the packet being filled; empty between packets
    QList<QByteArray> packets_;
    std::shared_ptr<TSpilledPackets> spilled_;
    qint64 count_ = 0;
    qint64 bytes_ = 0;
};

// Packets kept in a temporary file instead of memory: a result that is kept for opening
// holds no memory beyond its offsets. The file has no name (removed once open), so
// nothing is left behind whatever happens to the server. Written once on any thread, then
// read on the one thread that sends.
class TSpilledPackets {
public:
    // An empty file; raises Exception when none can be made.
    static std::shared_ptr<TSpilledPackets> Create();
    // Adds a packet at the end; raises Exception when the file cannot be written.
    void Append(const char* data, qsizetype size);

    qsizetype Count() const { return offsets_.size() - 1; }
    // Raises Exception when the file cannot be read.
    QByteArray Packet(qsizetype index) const;

private:
    mutable QFile file_;
    QList<qint64> offsets_{0};
};

// The rows of one dataset, or the error that stopped reading them.
struct TDataSetResult {
    QList<TFieldDef> Fields;
    QList<QByteArray> Packets;  // encoded "rows" messages with request number 0
    std::shared_ptr<const TSpilledPackets> Spilled;  // instead of Packets
    qint64 RowCount = 0;
    QString Error;  // not empty: opening the dataset fails with this text
    // A client statement's share of the server's result budget, given back with the result.
    std::shared_ptr<TResultBudget::TLease> Lease;

    qsizetype PacketCount() const { return Spilled ? Spilled->Count() : Packets.size(); }
    QByteArray Packet(qsizetype index) const { return Spilled ? Spilled->Packet(index) : Packets.at(index); }
};
using TDataSetResultPtr = std::shared_ptr<const TDataSetResult>;

// The payload of a packet with the request number put in.
QByteArray RowsPayloadWithId(const QByteArray& packet, quint32 id);
// The whole frame of that payload (FrameBytes), made in one copy.
QByteArray RowsFrameWithId(const QByteArray& packet, quint32 id);
