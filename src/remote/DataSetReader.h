#pragma once
// Reads one dataset transfer (docs/protocol.md section 5) into a TRecordStore: the fields of
// "meta" go to a binder that lays out the store's columns, every row of the "rows" packets
// becomes the store's next slot (0, 1, 2, ... in the order sent), and "eof" checks the
// count. Rows are read from a packet's bytes when the session hands them over, from the
// decoded packet otherwise; both fill the store alike.
//
//   TRecordStore store;
//   TDataSetReader reader(store, QStringLiteral("cdsResult"), [&](const QList<TFieldDef>& fields) {
//       QList<TFieldType> types;
//       QStringList names;
//       for (const TFieldDef& f : fields) {
//           types << f.DataType;
//           names << f.Name;
//       }
//       store.Reset(types);
//       return names;
//   });
//   module.OpenProvider(QStringLiteral("dspResult"), {}, reader);  // reader.RowCount() rows
//
// A value of another type than its column is converted as typed text is (TField::Converted);
// one the column cannot hold (text that is no number, an integer beyond a 16- or 32-bit
// column's range) fails the transfer rather than being cut to fit.
// Raises EProtocolError for a transfer that breaks the protocol (rows before the fields, a
// row of another length) and EDatabaseError for a value that does not convert or a row
// count other than the one announced; what the binder raises passes through. A failed
// transfer leaves the store as far as it got, for the caller to discard.

#include "remote/Protocol.h"
#include "remote/RemoteModule.h"

#include <QStringList>

#include <functional>

class TRecordStore;

class TDataSetReader final : public TPacketSink, private TRowValueSink {
public:
    // Lays out the store for the transfer's fields: its first columns take them, in their
    // order, with types the values convert to. Returns each such column's name, for the
    // messages of values that do not convert.
    using TBinder = std::function<QStringList(const QList<TFieldDef>& fields)>;

    // `owner` names the dataset in messages.
    TDataSetReader(TRecordStore& store, QString owner, TBinder binder);

    // Complete rows read so far.
    qint64 RowCount() const { return rowCount_; }

    void Meta(const QList<TFieldDef>& fields) override;
    void RowsExpected(qint64 count) override;
    bool RowsPayload(const QByteArray& payload) override;
    void Rows(const QList<QVariantList>& rows) override;
    void End(qint64 count) override;

private:
    void BeginRow() override;
    void Value(const TValue& value) override;
    void EndRow() override;

    void CheckMeta() const;

    TRecordStore& store_;
    QString owner_;
    TBinder binder_;
    QStringList names_;  // of the transfer's columns; empty until "meta"
    bool haveMeta_ = false;
    qint64 rowCount_ = 0;
    quint32 slot_ = 0;  // the row being read value by value
    int column_ = 0;
};
