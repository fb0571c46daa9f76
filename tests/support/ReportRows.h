#pragma once
// Rows for printing tests and the printing benchmark: a TRowSource over a table written in
// the test, and a call-like local dataset of any size with two grouping columns.
//
//   TTableRows rows({"EXT", "N"}, {{"101", 1}, {"101", 2}, {"102", 5}});
//   rows.SetDisplay("N", [](const QVariant& v) { return v.toString() + " s"; });
//
//   auto calls = SampleCalls(100000);  // sorted by PBX_NAME, EXT_CODE

#include "printing/RowSource.h"
#include "remote/Field.h"
#include "remote/RemoteDataSet.h"

#include <QMap>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <memory>
#include <vector>

class TTableRows : public TRowSource {
public:
    using TDisplay = std::function<QString(const QVariant&)>;

    TTableRows(QStringList names, std::vector<QVariantList> rows)
        : names_(std::move(names)), rows_(std::move(rows))
    {
    }

    // The display text of a column's values (the value's text by default).
    void SetDisplay(const QString& column, TDisplay display) { display_[column] = std::move(display); }
    // Makes Changed() true, as an adaptor does when its rows change.
    void MarkChanged() { changed_ = true; }

    QString Name() const override { return QStringLiteral("rows"); }
    int RowCount() const override { return static_cast<int>(rows_.size()); }
    int ColumnCount() const override { return static_cast<int>(names_.size()); }
    QString ColumnName(int column) const override { return names_.at(column); }
    QVariant Value(int row, int column) const override
    {
        return rows_.at(static_cast<size_t>(row)).value(column);
    }
    QString DisplayText(int row, int column) const override
    {
        const QVariant value = Value(row, column);
        const auto display = display_.find(names_.at(column));
        return display != display_.end() ? (*display)(value) : value.toString();
    }
    bool Changed() const override { return changed_; }

private:
    QStringList names_;
    std::vector<QVariantList> rows_;
    QMap<QString, TDisplay> display_;
    bool changed_ = false;
};

// A local dataset of calls, sorted by exchange and extension: PBX_NAME (4 exchanges),
// EXT_CODE (25 extensions per exchange), EXT_NAME, PHONE, DURATION (seconds, shown as
// minutes:seconds), RAW_CHARGE (shown with two decimals).
// Deterministic: the same count gives the same rows.
inline std::unique_ptr<TRemoteDataSet> SampleCalls(int count)
{
    static const QStringList exchanges = {QStringLiteral("Head office"), QStringLiteral("Plovdiv branch"),
                                          QStringLiteral("Sofia west"), QStringLiteral("Varna port")};
    static const QStringList people = {
        QStringLiteral("Reception"),       QStringLiteral("Accounts"),      QStringLiteral("Ivana Petrova"),
        QStringLiteral("Georgi Ivanov"),   QStringLiteral("Sales desk"),    QStringLiteral("Warehouse"),
        QStringLiteral("Maria Dimitrova"), QStringLiteral("Support line"),  QStringLiteral("Director"),
        QStringLiteral("Meeting room"),    QStringLiteral("Nikolay Stoev"), QStringLiteral("Front desk")};
    constexpr int extensionsPerExchange = 25;
    auto calls = std::make_unique<TRemoteDataSet>();
    calls->setObjectName(QStringLiteral("cdsResult"));
    calls->AddField(QStringLiteral("PBX_NAME"), TFieldType::WideString, 30)
        ->SetDisplayLabel(QStringLiteral("Exchange"));
    calls->AddField(QStringLiteral("EXT_CODE"), TFieldType::WideString, 8)
        ->SetDisplayLabel(QStringLiteral("Extension"));
    calls->AddField(QStringLiteral("EXT_NAME"), TFieldType::WideString, 30)
        ->SetDisplayLabel(QStringLiteral("Name"));
    calls->AddField(QStringLiteral("PHONE"), TFieldType::WideString, 20)
        ->SetDisplayLabel(QStringLiteral("Phone"));
    TField* duration = calls->AddField(QStringLiteral("DURATION"), TFieldType::Integer);
    duration->SetDisplayLabel(QStringLiteral("Duration"));
    duration->SetOnGetText([](TField& field, bool) {
        const int seconds = field.AsInteger();
        return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    });
    TField* charge = calls->AddField(QStringLiteral("RAW_CHARGE"), TFieldType::Float);
    charge->SetDisplayLabel(QStringLiteral("Charge"));
    charge->SetOnGetText([](TField& field, bool) { return QString::number(field.AsFloat(), 'f', 2); });
    calls->SetLogChanges(false);
    calls->CreateDataSet();
    const int groups = static_cast<int>(exchanges.size()) * extensionsPerExchange;
    quint32 seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) & 0xFFFF;
    };
    for (int group = 0; group < groups; ++group) {
        // Rows spread evenly over the groups, in order.
        const int first = static_cast<int>(static_cast<qint64>(count) * group / groups);
        const int last = static_cast<int>(static_cast<qint64>(count) * (group + 1) / groups);
        const QString exchange = exchanges[group / extensionsPerExchange];
        const QString code = QString::number(100 + group);
        const QString name = people[group % people.size()];
        for (int row = first; row < last; ++row) {
            const int duration = 5 + static_cast<int>(next() % 900);
            const double charge = duration * 0.0125 + (next() % 4) * 0.05;
            calls->AppendRecord(
                {exchange, code, name,
                 QStringLiteral("0%1 %2").arg(2 + next() % 8).arg(1000000 + next() * 7 % 8999999), duration,
                 qRound(charge * 100) / 100.0});
        }
    }
    calls->First();
    return calls;
}
