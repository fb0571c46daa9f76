#pragma once
// Dataset rows as ready-encoded "rows" messages of about 256 KiB each. A result is
// encoded once, where it is read, and streamed from these packets as often as it is
// opened; only the request number is put in when a packet is sent.

#include "remote/Protocol.h"
#include "server/ResultBudget.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <memory>

inline constexpr qsizetype DefaultPacketBytes = 256 * 1024;

class TRowsPacker {
public:
    explicit TRowsPacker(qsizetype packetBytes = DefaultPacketBytes);

    void Add(QVariantList row);
    // Encodes what is pending; call once after the last row.
    void Finish();
    // Converts one column of every row packed so far (used when a column's type is only
    // known after its first values have been encoded).
    void ConvertColumn(int column, TFieldType type);

    const QList<QByteArray>& Packets() const { return packets_; }
    qint64 RowCount() const { return count_; }
    qint64 EncodedBytes() const { return bytes_; }
    // The memory the packer holds: its packets and an estimate of the rows not yet packed.
    qint64 Footprint() const { return bytes_ + pendingBytes_; }

private:
    void Flush();
    qsizetype packetBytes_;
    QList<QVariantList> pending_;
    qsizetype pendingBytes_ = 0;
    QList<QByteArray> packets_;
    qint64 count_ = 0;
    qint64 bytes_ = 0;
};

// Packets kept in a temporary file instead of memory: a result that is kept for opening
// holds no memory beyond its offsets. The file has no name (removed once open), so
// nothing is left behind whatever happens to the server. Written once on any thread, then
// read on the one thread that sends.
class TSpilledPackets {
public:
    // Raises Exception when the file cannot be written.
    static std::shared_ptr<const TSpilledPackets> Write(const QList<QByteArray>& packets);

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
