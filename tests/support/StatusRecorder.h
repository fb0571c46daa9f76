#pragma once
// The main window's services for a unit tested without a main window: the running
// activities are recorded ("+Loading all data...", "-Loading all data..."), the live log
// kept, deferred calls run at once; there are no child windows or live displays.
//
//   TStatusRecorder services;
//   TFrameReportGrid grid(&host, &services);
//   grid.Preview(...);
//   QCOMPARE(services.Running(), QStringList{});   // every activity cleared again

#include "shell/MainFormServices.h"

#include <QMap>
#include <QStringList>

class TStatusRecorder : public TMainFormServices {
public:
    int AddStatus(const QString& text) override
    {
        running_.insert(++lastId_, text);
        History << QLatin1Char('+') + text;
        return lastId_;
    }
    void AddServerStatus(const QString& text, int id) override
    {
        running_.insert(id, text);
        History << QLatin1Char('+') + text;
    }
    void ClearStatus(int id) override
    {
        History << QLatin1Char('-') + running_.value(id, QStringLiteral("(unknown %1)").arg(id));
        running_.remove(id);
    }
    // The activities added and not cleared.
    QStringList Running() const { return running_.values(); }

    void AddRawInput(const QString&) override {}
    void AddLiveLogMessage(const QString& text) override { LiveLog << text; }
    void Defer(TExecutorProc procedure, void* datum = nullptr) override { procedure(datum); }
    TChildFormBlank* OpenChildWindow(QAction*, const TChildFactory&) override { return nullptr; }
    void CloseChildWindows() override {}
    QMdiArea* MdiArea() const override { return nullptr; }
    void SetStatusPanelText(int, const QString&) override {}
    void SetReceiverRunning(bool) override {}
    void SetQueueEnabled(bool) override {}
    TGauge& InputBufferGauge() override { throw std::logic_error("TStatusRecorder has no gauge"); }
    void CloseMainWindow() override {}

    QStringList History;
    QStringList LiveLog;

private:
    QMap<int, QString> running_;
    int lastId_ = 0;
};
