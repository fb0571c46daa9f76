#pragma once
// The report window's filter pages without the window: a demo server, a client logged in
// as the standard user (its report callback sets ReportReadyFlag), the report tree as the
// window builds it, and the control panel with its empty panel and the filter pages.
//
//   TFilterPagesFixture f(QDate(2024, 3, 31));
//   QVERIFY2(f.Ready(), qPrintable(f.Error()));
//   f.Pages.Phone->LoadState(QStringLiteral("True,False,+088"));
//   TReportDM dm(f.Connection.Client.Socket, f.ReportRDM());

#include "reportconfig/FrameCharge.h"
#include "reportconfig/FrameCount.h"
#include "reportconfig/FrameDateTime.h"
#include "reportconfig/FrameExtPin.h"
#include "reportconfig/FrameList.h"
#include "reportconfig/ReportControlPanel.h"
#include "reportconfig/ReportFilterPages.h"
#include "shell/base/ClientReportFlags.h"
#include "support/ConnectedClient.h"

#include <QLabel>
#include <QMap>
#include <QTreeWidget>

#include <memory>

// Page name ("interval", "ext", "pin", "phone", "calltype", "trunk", "circuit", "extra",
// "count", "duration", "charge", "pulses") -> state line.
using TLines = QMap<QString, QString>;

// The tree of the report window, nodes 0 to 20 in pre-order.
inline void BuildReportTree(QTreeWidget& tree)
{
    const auto add = [&tree](QTreeWidgetItem* parent, const char* caption) {
        auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(&tree);
        node->setText(0, QLatin1String(caption));
        return node;
    };
    QTreeWidgetItem* report = add(nullptr, "Report");
    add(report, "Configuration");
    add(report, "Special report");
    QTreeWidgetItem* filters = add(nullptr, "Filters (simple)");
    add(filters, "Interval");
    QTreeWidgetItem* lists = add(filters, "Lists");
    add(lists, "Extensions");
    add(lists, "PIN Codes");
    QTreeWidgetItem* selective = add(filters, "Selective");
    for (const char* caption : {"Phone", "Call type", "Trunk", "Circuit", "Extra code"})
        add(selective, caption);
    QTreeWidgetItem* quantitative = add(filters, "Quantitative");
    for (const char* caption : {"Count", "Duration", "Charge", "Pulses"})
        add(quantitative, caption);
    add(nullptr, "Print options");
    add(nullptr, "Archive");
}

class TFilterPagesFixture {
public:
    explicit TFilterPagesFixture(const QDate& lastDay)
        : Connection(
              [lastDay](TServerOptions& o) {
                  o.Demo = true;
                  o.DemoDate = lastDay;
              },
              false)
    {
        if (!Connection.Ready())
            return;
        Connection.Client.Report.Hook = [](const TCallbackMethod& method, const QVariantList&) {
            if (method.Name == QLatin1String("ReportReady"))
                ReportReadyFlag = true;
        };
        BuildReportTree(Tree);
        Empty = new QLabel(QStringLiteral("Please, select a more specific item from the tree on the left."),
                           &Panel);
        Pages = CreateReportFilterPages(&Panel, &Tree, ReportRDM());
    }

    QMap<QString, TReportBaseFrame*> PagesByName() const
    {
        const TReportFilterPages& p = Pages;
        return {{"interval", p.Interval}, {"ext", p.Extensions},    {"pin", p.PinCodes},
                {"phone", p.Phone},       {"calltype", p.CallType}, {"trunk", p.Trunk},
                {"circuit", p.Circuit},   {"extra", p.ExtraCode},   {"count", p.Count},
                {"duration", p.Duration}, {"charge", p.Charge},     {"pulses", p.Pulses}};
    }

    // Every advanced page in its default state, then the lines given; "period" (a range
    // "from,to" of day numbers) sets a period longer than a state line restores, as simple
    // mode does.
    void Apply(const TLines& lines) const
    {
        for (auto [name, page] : PagesByName().asKeyValueRange())
            page->LoadState(lines.value(name));
        if (lines.contains(QStringLiteral("period"))) {
            const QStringList period = lines.value(QStringLiteral("period")).split(QLatin1Char(','));
            Pages.Interval->SetPeriod(period.at(0).toDouble(), period.at(1).toDouble());
        }
    }

    bool Ready() const { return Connection.Ready(); }
    QString Error() const { return Connection.Error(); }
    TSharedConnection& ReportRDM() { return Connection.Client.Child(module::ReportRDM); }

    TConnectedClient Connection;
    QTreeWidget Tree;
    TReportControlPanel Panel;
    QLabel* Empty = nullptr;
    TReportFilterPages Pages;
};
