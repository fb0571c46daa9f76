#pragma once
// Dataset rows as ready-encoded "rows" messages of about 256 KiB each. A result is
// encoded once, where it is read, and streamed from these packets as often as it is
// opened; only the request number is put in when a packet is sent.

#include "remote/Protocol.h"

#include <QByteArray>
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

private:
    void Flush();
    qsizetype packetBytes_;
    QList<QVariantList> pending_;
    qsizetype pendingBytes_ = 0;
    QList<QByteArray> packets_;
    qint64 count_ = 0;
    qint64 bytes_ = 0;
};

// The rows of one dataset, or the error that stopped reading them.
struct TDataSetResult {
    QList<TFieldDef> Fields;
    QList<QByteArray> Packets;  // encoded "rows" messages with request number 0
    qint64 RowCount = 0;
    QString Error;  // not empty: opening the dataset fails with this text
};
using TDataSetResultPtr = std::shared_ptr<const TDataSetResult>;

// The payload of a packet with the request number put in.
QByteArray RowsPayloadWithId(const QByteArray& packet, quint32 id);
