// A "rows" packet as the client reads it into a dataset: value by value straight from the
// bytes (DecodeRows into TDataSetReader), or from the decoded message when its keys come
// in another order. The first bytes lay out the dataset's columns. DecodeRows must refuse
// whatever DecodeMessage refuses and otherwise see the same rows; the reader either takes
// rows or fails with the library's own exceptions, and its count matches the store's.

#include "FuzzInput.h"

#include "remote/DataSetReader.h"
#include "remote/RecordStore.h"

namespace {

class TCountingSink : public TRowValueSink {
public:
    qsizetype Rows = 0;
    void BeginRow() override {}
    void Value(const TValue& value) override
    {
        FuzzCheck(value.Size >= 0, "a value's size is not negative");
        FuzzCheck(value.Size == 0 || value.Data != nullptr, "a value with bytes has them");
    }
    void EndRow() override { ++Rows; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool registered = (RegisterProtocolTypes(), true);
    (void)registered;
    TFuzzInput input(data, size);
    QList<TFieldDef> fields;
    const int columns = 1 + input.Byte() % 6;
    for (int i = 0; i < columns; ++i) {
        TFieldDef field;
        field.Name = QStringLiteral("C%1").arg(i);
        field.DataType = TFieldType(1 + input.Byte() % 14);
        fields << field;
    }
    const QByteArray payload = input.Rest();

    TCountingSink sink;
    bool rowsRead = true;
    try {
        DecodeRows(payload, sink);
    } catch (const EProtocolError&) {
        rowsRead = false;
    }
    bool decoded = true;
    TMessage message;
    try {
        message = DecodeMessage(payload);
    } catch (const EProtocolError&) {
        decoded = false;
    }
    if (rowsRead) {
        FuzzCheck(decoded, "DecodeRows refuses what DecodeMessage refuses");
        FuzzCheck(message.Kind == TMessageKind::Rows, "DecodeRows reads only rows");
        FuzzCheck(message.Rows.size() == sink.Rows, "both decoders see the same rows");
    }

    TRecordStore store;
    TDataSetReader reader(store, QStringLiteral("cdsFuzz"), [&](const QList<TFieldDef>& meta) {
        QList<TFieldType> types;
        QStringList names;
        for (const TFieldDef& f : meta) {
            types << f.DataType;
            names << f.Name;
        }
        store.Reset(types);
        return names;
    });
    try {
        reader.Meta(fields);
        quint32 id = 0;
        if (PeekRowsId(payload, id))
            reader.RowsPayload(payload);
        else if (decoded && message.Kind == TMessageKind::Rows)
            reader.Rows(message.Rows);
    } catch (const Exception&) {
        return 0;
    }
    FuzzCheck(qint64(store.SlotCount()) == reader.RowCount(), "every row read has its slot");
    return 0;
}
