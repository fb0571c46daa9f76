#include "logs/DMLogsReport.h"

#include "calls/CallFieldInfo.h"
#include "calls/Globals.h"
#include "calls/ReportResults.h"
#include "shell/base/ClientReportFlags.h"

#include <QScopeGuard>

#include <cmath>

namespace {

namespace id = dispid::LogsReportRDM;
// Rows of one event written closer together than this are one line of its text.
constexpr qint64 kSameLineMs = 100;

void DeclareColumns(TRemoteDataSet& ds, const QList<int>& widths, bool showSeverity)
{
    struct TColumn {
        const char* Name;
        TFieldType Type;
        int Size;
        const char* Label;
    };
    static const TColumn columns[] = {{"DATE_TIME", TFieldType::TimeStamp, 0, "Time"},
                                      {"EVENT_ID", TFieldType::Largeint, 0, "Event ID"},
                                      {"CATEGORY", TFieldType::String, 100, "Category"},
                                      {"SEVERITY", TFieldType::Smallint, 0, "Severity"},
                                      {"TEXT", TFieldType::WideString, 100, "Text"}};
    for (int i = 0; i < 5; ++i) {
        TField* f = ds.AddField(QLatin1String(columns[i].Name), columns[i].Type, columns[i].Size);
        f->SetDisplayLabel(QLatin1String(columns[i].Label));
        if (i < widths.size() && widths.at(i) > 0)
            f->SetDisplayWidth(widths.at(i));
    }
    TField* severity = ds.FieldByName(QStringLiteral("SEVERITY"));
    severity->SetVisible(showSeverity);
    severity->SetAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    severity->SetOnGetText([](TField& f, bool) { return TLogsReportDM::SeverityText(f.Value()); });
    ds.FieldByName(QStringLiteral("TEXT"))->SetOnGetText([](TField& f, bool) {
        return f.AsString().replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    });
}

qint64 WholeMs(TDateTime value)
{
    return qint64(std::llround(value * MSecsPerDay));
}

}  // namespace

TLogsReportDM::TLogsReportDM(TRemoteConnection& scLogsReport, TRemoteModule mainRDM)
    : connection_(scLogsReport), main_(std::move(mainRDM))
{
    cdsResult.setObjectName(QStringLiteral("cdsResult"));
    cdsResult.SetRemoteServer(&connection_);
    cdsResult.SetProviderName(QLatin1String(provider::LogsReportRDM::dspResult));
    DeclareColumns(cdsResult, {20, 8, 12, 12, 0}, true);
    cdsTemp.setObjectName(QStringLiteral("cdsTemp"));
    cdsTemp.SetRemoteServer(&connection_);
    cdsTemp.SetProviderName(QLatin1String(provider::LogsReportRDM::dspTemp));
    DeclareColumns(cdsTemp, {25, 7, 10, 0, 0}, false);
}

const QStringList& TLogsReportDM::Categories()
{
    static const QStringList items{QStringLiteral("Application"), QStringLiteral("Archives"),
                                   QStringLiteral("Client"),      QStringLiteral("Comands"),
                                   QStringLiteral("Invalid"),     QStringLiteral("Receiver"),
                                   QStringLiteral("Reports")};
    return items;
}

QString TLogsReportDM::SeverityText(const QVariant& severity)
{
    if (severity.isNull() || !severity.isValid())
        return QString();
    static const QStringList texts{QStringLiteral("Information"), QStringLiteral("Warning"),
                                   QStringLiteral("Error"), QStringLiteral("Bug")};
    const int value = severity.toInt();
    return value >= 1 && value <= 4 ? texts.at(value - 1) : QString::number(value);
}

QString TLogsReportDM::WordsCondition(const QString& words)
{
    QStringList conditions;
    for (const QString& word : SplitText(QLatin1Char(' '), words))
        if (!word.isEmpty())
            conditions << ContainsCondition(QStringLiteral("TEXT"), word);
    return conditions.join(QStringLiteral(" and "));
}

QString TLogsReportDM::BuildQuery(const TLogSearch& search)
{
    double from = search.From, to = search.To;
    OrderPair(from, to);
    QString interval;
    if (IsValidDateTime(from) && IsValidDateTime(to))
        interval = QStringLiteral("DATE_TIME between %1 and %2").arg(SqlDateTime(from), SqlDateTime(to));

    QStringList categories;
    for (const QString& c : search.Categories)
        categories << c.toLower();
    QStringList severities;
    for (int s : search.Severities)
        severities << QString::number(s);
    const QString category =
        categories.isEmpty() || categories.size() == Categories().size() ? QString()
                                                                          : ListCondition(QStringLiteral("CATEGORY"), categories);
    const QString severity =
        severities.isEmpty() || severities.size() == 4 ? QString() : ListCondition(QStringLiteral("SEVERITY"), severities);

    QString sql = QStringLiteral("select * from log where (%1)").arg(interval);
    for (const QString& condition : {category, severity, WordsCondition(search.Words)})
        if (!condition.isEmpty())
            sql += QStringLiteral(" and (%1)").arg(condition);
    return sql + QStringLiteral(" order by DATE_TIME");
}

QString TLogsReportDM::EventQuery(qint64 eventId)
{
    return QStringLiteral("SELECT * FROM LOG WHERE EVENT_ID =") + QString::number(eventId);
}

QString TLogsReportDM::JoinEventRows(const QList<QPair<TDateTime, QString>>& rows)
{
    QString text;
    for (int i = 0; i < rows.size(); ++i) {
        if (i > 0)
            text += WholeMs(rows.at(i).first) < WholeMs(rows.at(i - 1).first) + kSameLineMs ? QStringLiteral(" ")
                                                                                          : QStringLiteral("\r\n");
        text += rows.at(i).second;
    }
    return text;
}

QString TLogsReportDM::IntervalSummary(TDateTime from, TDateTime to)
{
    OrderPair(from, to);
    return FieldInfo(cfRecTime).BuildSummary(FloatToTextDot(from) + QLatin1Char(',') + FloatToTextDot(to));
}

void TLogsReportDM::Search(const QString& sql)
{
    cdsResult.Close();
    LogsReportReadyFlag = false;
    connection_.AppServer().Call(id::RunStatement, {sql});
    WaitForReadyFlag(LogsReportReadyFlag, [this] { return connection_.Connected(); });
}

void TLogsReportDM::Load()
{
    main_.Call(dispid::MainRDM::SetLiveData, {false});
    const auto liveAgain = qScopeGuard([this] { main_.Call(dispid::MainRDM::SetLiveData, {true}); });
    cdsResult.Open();
}

QString TLogsReportDM::EventText(qint64 eventId)
{
    cdsTemp.Close();
    connection_.AppServer().Call(id::RunEventStatement, {EventQuery(eventId)});
    cdsTemp.Open();
    QList<QPair<TDateTime, QString>> rows;
    const TField* time = cdsTemp.FieldByName(QStringLiteral("DATE_TIME"));
    const TField* text = cdsTemp.FieldByName(QStringLiteral("TEXT"));
    for (int r = 0; r < cdsTemp.RecordCount(); ++r) {
        cdsTemp.SetCurrentRow(r);
        rows.append({time->AsDateTime(), text->AsString()});
    }
    return JoinEventRows(rows);
}

bool TLogsReportDM::Export(const QString& fileName, const QString& title)
{
    return ExportTabText(cdsResult, fileName, {title});
}
