#pragma once
// The report window's data module: the saved report configurations (cdsReport), the result
// of the last run (cdsResult) and the special report computed from it (cdsSpecial), and
// the server calls of a run.
//
//   TReportDM dm(sktServer, scReport);           // opens cdsReport
//   dm.ExecuteQuery(BuildQuery(...));           // ReportRDM 301, waits for ReportReadyFlag
//   dm.OpenResult([&] { grid.LoadLayoutState(layout); });
//   dm.BuildSpecialReport({cfPinCode, cfExtCode, 0, false});

#include "calls/CallFieldInfo.h"
#include "calls/Globals.h"
#include "remote/RemoteDataSet.h"
#include "calls/ReportResults.h"

#include <QObject>

#include <functional>

class TRemoteConnection;

// MainRDM 312: false holds back the server's live callbacks (raw input, live log) while a
// window loads a result or opens, true lets them through again. Raises the server's error.
void SetLiveData(TRemoteConnection& mainConnection, bool enabled);

class TReportDM : public QObject {
    Q_OBJECT

public:
    // mainConnection reaches MainRDM (the socket connection), reportConnection the ReportRDM
    // child connection; both must outlive the module. Opens cdsReport, which raises the
    // server's error when it cannot.
    TReportDM(TRemoteConnection& mainConnection, TRemoteConnection& reportConnection,
              QObject* parent = nullptr);
    ~TReportDM() override;

    // Closes cdsResult, clears ReportReadyFlag, sends the statement (ReportRDM 301) and
    // waits in the event loop (painting, timers, other windows' input all go on) until the
    // server's ReportReady sets the flag. Raises the server's error; raises EOleSysError
    // 0x80010108 when the connection ends meanwhile.
    void ExecuteQuery(const QString& sql);
    // Opens cdsResult between MainRDM 312 false and 312 true and dresses its columns;
    // afterDressing (the grid's layout) runs before 312 true. 312 true is sent also when
    // something fails; the error then goes on.
    void OpenResult(const std::function<void()>& afterDressing = {});
    // ExecuteQuery, then OpenResult.
    void RunReport(const QString& sql);

    void DressResultColumns();
    // Rebuilds cdsSpecial from cdsResult (see ::BuildSpecialReport).
    void BuildSpecialReport(const TOverlapOptions& options);
    // Never raises; see ::ExportTabText.
    bool ExportTabText(TRemoteDataSet& dataSet, const QString& fileName, const TStringArray& titleLines);

    TRemoteDataSet cdsReport;
    TField* cdsReportNAME;
    TField* cdsReportSETUP;
    TField* cdsReportGRID;
    TField* cdsReportSPECIAL;
    TRemoteDataSet cdsResult;
    TRemoteDataSet cdsSpecial;

private:
    void WaitForReportReady();

    TRemoteConnection& main_;
    TRemoteConnection& report_;
};
