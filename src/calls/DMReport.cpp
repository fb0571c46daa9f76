#include "calls/DMReport.h"

#include "shell/base/ClientReportFlags.h"
#include "remote/Connections.h"
#include "remote/ServerInterface.h"
#include "core/Errors.h"

#include <QCoreApplication>


void SetLiveData(TRemoteConnection& mainConnection, bool enabled)
{
    mainConnection.AppServer().Call(dispid::MainRDM::SetLiveData, {enabled});
}

TReportDM::TReportDM(TRemoteConnection& mainConnection, TRemoteConnection& reportConnection, QObject* parent)
    : QObject(parent), main_(mainConnection), report_(reportConnection)
{
    cdsReport.setObjectName(QStringLiteral("cdsReport"));
    cdsReport.SetRemoteServer(&report_);
    cdsReport.SetProviderName(QLatin1String(provider::ReportRDM::dspReport));
    cdsReportNAME = cdsReport.AddField(QStringLiteral("NAME"), TFieldType::WideString, 100);
    cdsReportNAME->SetRequired(true);
    cdsReportNAME->SetKey(true);
    cdsReportNAME->SetDisplayLabel(tr("Report name"));
    cdsReportSETUP = cdsReport.AddField(QStringLiteral("SETUP"), TFieldType::Memo);
    cdsReportSETUP->SetRequired(true);
    cdsReportSETUP->SetVisible(false);
    cdsReportGRID = cdsReport.AddField(QStringLiteral("GRID"), TFieldType::Memo);
    cdsReportGRID->SetRequired(true);
    cdsReportGRID->SetVisible(false);
    cdsReportSPECIAL = cdsReport.AddField(QStringLiteral("SPECIAL"), TFieldType::Memo);
    cdsReportSPECIAL->SetVisible(false);

    cdsResult.setObjectName(QStringLiteral("cdsResult"));
    cdsResult.SetRemoteServer(&report_);
    cdsResult.SetProviderName(QLatin1String(provider::ReportRDM::dspResult));

    cdsSpecial.setObjectName(QStringLiteral("cdsSpecial"));
    cdsSpecial.SetLogChanges(false);

    cdsReport.Open();
}

TReportDM::~TReportDM()
{
    cdsReport.Close();
}

void TReportDM::ExecuteQuery(const QString& sql)
{
    cdsResult.Close();
    ReportReadyFlag = false;
    report_.AppServer().Call(dispid::ReportRDM::RunStatement, {sql});
    WaitForReportReady();
}

void TReportDM::WaitForReportReady()
{
    // The flag is set by the server's ReportReady, which arrives while messages are handled.
    WaitForReadyFlag(ReportReadyFlag, [this] { return report_.Connected(); });
}

void TReportDM::OpenResult(const std::function<void()>& afterDressing)
{
    ::SetLiveData(main_, false);
    try {
        cdsResult.Open();
        DressResultColumns();
        if (afterDressing)
            afterDressing();
    } catch (...) {
        ::SetLiveData(main_, true);
        throw;
    }
    ::SetLiveData(main_, true);
}

void TReportDM::RunReport(const QString& sql)
{
    ExecuteQuery(sql);
    OpenResult();
}

void TReportDM::DressResultColumns()
{
    ::DressResultColumns(cdsResult);
}

void TReportDM::BuildSpecialReport(const TOverlapOptions& options)
{
    ::BuildSpecialReport(cdsResult, cdsSpecial, options);
}

bool TReportDM::ExportTabText(TRemoteDataSet& dataSet, const QString& fileName,
                              const TStringArray& titleLines)
{
    return ::ExportTabText(dataSet, fileName, titleLines);
}
