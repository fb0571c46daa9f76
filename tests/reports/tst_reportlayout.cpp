// The printable layout a report grid builds, asserted on the engine's bands and elements:
// the column unit and the columns' places (no visible columns, group columns left out, a
// group column already hidden), the heights, fonts, frames and greys of every band for one
// and three grouping levels, the title lines, the links, the page numbers, the builders'
// calls, and the grid's columns after a build that fails.

#include "core/Errors.h"
#include "printing/Report.h"
#include "remote/RemoteDataSet.h"
#include "reports/FrameRepGrid.h"

#include <QApplication>
#include <QTest>

namespace {

// EXT_CODE (8 characters), EXT_NAME (16), DURATION (8), CHARGE (8): 40 characters, so the
// column unit of A4 with 10 mm margins (190 mm) is 4.75 mm.
void FillCalls(TRemoteDataSet& ds)
{
    ds.setObjectName(QStringLiteral("cdsResult"));
    ds.AddField(QStringLiteral("EXT_CODE"), TFieldType::String, 8)
        ->SetDisplayLabel(QStringLiteral("Extension"));
    ds.AddField(QStringLiteral("EXT_NAME"), TFieldType::String, 16)->SetDisplayLabel(QStringLiteral("Name"));
    ds.AddField(QStringLiteral("DURATION"), TFieldType::Integer)->SetDisplayWidth(8);
    ds.AddField(QStringLiteral("CHARGE"), TFieldType::Float)->SetDisplayWidth(8);
    ds.CreateDataSet();
    ds.AppendRecord({QStringLiteral("101"), QStringLiteral("Reception"), 60, 0.5});
}

QString Number(double mm)
{
    return QString::number(mm, 'g', 6);
}

// A band's elements as "L Extension@0+36 B@36+2 F EXT_NAME@38+74": L label, F field,
// E expression, B border, P page number; then the left edge and the width.
QString Elements(const TBand* band)
{
    QStringList out;
    for (const auto& e : band->Elements()) {
        QString what;
        if (auto* label = dynamic_cast<const TLabelElement*>(e.get()))
            what = QStringLiteral("L ") + label->Text();
        else if (auto* field = dynamic_cast<const TFieldElement*>(e.get()))
            what = QStringLiteral("F ") + field->Column();
        else if (auto* expr = dynamic_cast<const TExpressionElement*>(e.get()))
            what = QStringLiteral("E ") + expr->Expression();
        else if (dynamic_cast<const TDynamicRightBorder*>(e.get()))
            what = QStringLiteral("B");
        else if (dynamic_cast<const TPageNumberElement*>(e.get()))
            what = QStringLiteral("P");
        out << QStringLiteral("%1@%2+%3").arg(what, Number(e->Left()), Number(e->Width()));
    }
    return out.join(QLatin1Char(' '));
}

QString Frame(const TBand* band)
{
    const TFrameLines& f = band->Frame();
    if (f.Top && f.Bottom && f.Left && f.Right)
        return QStringLiteral("box");
    if (!f.Top && !f.Bottom && f.Left && f.Right)
        return QStringLiteral("sides");
    return f.Any() ? QStringLiteral("other") : QStringLiteral("none");
}

// "font size, height, frame" of a band.
QString Shape(const TBand* band)
{
    return QStringLiteral("%1pt %2mm %3")
        .arg(Number(FontPointSize(band->Font())), Number(band->Height()), Frame(band));
}

QString ChildHeights(const TBand* band)
{
    QStringList out;
    for (const TBand* child = band->Child(); child; child = child->Child())
        out << Number(child->Height());
    return out.join(QLatin1Char(','));
}

}  // namespace

class TestReportLayout : public QObject {
    Q_OBJECT

    struct TFixture {
        QWidget Host;
        TFrameReportGrid* Frame;
        TRemoteDataSet DataSet;
        TFixture()
        {
            Frame = new TFrameReportGrid(&Host);
            FillCalls(DataSet);
            Frame->SetDataset(&DataSet);
        }
        TField* Field(const char* name) { return DataSet.FieldByName(QLatin1String(name)); }
        QString Visible()
        {
            QStringList out;
            for (TField* f : DataSet.Fields())
                if (f->Visible())
                    out << f->FieldName();
            return out.join(QLatin1Char(','));
        }
    };

private Q_SLOTS:
    void initTestCase() { QGuiApplication::setApplicationDisplayName(QStringLiteral("Telvane Control")); }

    void columns_data()
    {
        QTest::addColumn<QStringList>("hidden");
        QTest::addColumn<QStringList>("groups");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("detail");

        QTest::newRow("four columns, unit 4.75")
            << QStringList{} << QStringList{}
            << "L Extension@0+36 B@36+2 L Name@38+74 B@112+2 L DURATION@114+36 B@150+2 L CHARGE@152+38"
            << "F EXT_CODE@0+36 B@36+2 F EXT_NAME@38+74 B@112+2 F DURATION@114+36 B@150+2 F CHARGE@152+38";
        // The unit counts only the columns printed: 32 characters, 5.9375 mm.
        QTest::newRow("a visible group column is left out")
            << QStringList{} << QStringList{"EXT_CODE"}
            << "L Name@0+93 B@93+2 L DURATION@95+45.5 B@140.5+2 L CHARGE@142.5+47.5"
            << "F EXT_NAME@0+93 B@93+2 F DURATION@95+45.5 B@140.5+2 F CHARGE@142.5+47.5";
        QTest::newRow("a hidden column is not printed")
            << QStringList{"EXT_NAME"} << QStringList{}
            << "L Extension@0+61.3333 B@61.3333+2 L DURATION@63.3333+61.3333 B@124.667+2 L "
               "CHARGE@126.667+63.3333"
            << "F EXT_CODE@0+61.3333 B@61.3333+2 F DURATION@63.3333+61.3333 B@124.667+2 F "
               "CHARGE@126.667+63.3333";
        QTest::newRow("one column: full width, no border")
            << QStringList{"EXT_CODE", "EXT_NAME", "DURATION"} << QStringList{} << "L CHARGE@0+190"
            << "F CHARGE@0+190";
        QTest::newRow("no visible columns")
            << QStringList{"EXT_CODE", "EXT_NAME", "DURATION", "CHARGE"} << QStringList{} << ""
            << "";
        QTest::newRow("every visible column groups")
            << QStringList{"EXT_NAME", "DURATION"} << QStringList{"CHARGE", "EXT_CODE"} << ""
            << "";
    }
    void columns()
    {
        QFETCH(QStringList, hidden);
        QFETCH(QStringList, groups);
        QFETCH(QString, header);
        QFETCH(QString, detail);
        TFixture f;
        for (const QString& name : hidden)
            f.DataSet.FieldByName(name)->SetVisible(false);
        QList<TField*> groupFields;
        for (const QString& name : groups)
            groupFields << f.DataSet.FieldByName(name);
        const QString visibleBefore = f.Visible();
        f.Frame->BuildLayout({QStringLiteral("Calls")}, groupFields, true, false, false, std::nullopt);
        const TReport* report = f.Frame->Report();
        QVERIFY(report);
        QCOMPARE(Elements(report->Band(TBandKind::ColumnHeader)), header);
        QCOMPARE(Elements(report->Band(TBandKind::Detail)), detail);
        QCOMPARE(f.Visible(), visibleBefore);
    }

    void bands_data()
    {
        QTest::addColumn<int>("fontSize");
        QTest::addColumn<int>("levels");
        QTest::addColumn<bool>("firstPageOnly");
        QTest::addColumn<bool>("pageNumbers");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("headerChildren");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QStringList>("groups");  // header shape, grey, footer shape, footer gap

        QTest::newRow("no font, no levels, every page, numbered")
            << 0 << 0 << false << true << "14pt 23mm box"
            << "12pt 6.3504mm box"
            << ""
            << "10pt 5.292mm sides"
            << "13pt 6.8796mm box" << QStringList{};
        QTest::newRow("12 pt, one level, first page only")
            << 12 << 1 << true << false << "16pt 26mm box"
            << "14pt 7.4088mm box"
            << "1"
            << "12pt 6.3504mm sides"
            << "15pt 7.938mm box" << QStringList{"13pt 6.8796mm box|238|13pt 6.8796mm box|1.44"};
        QTest::newRow("8 pt, three levels, numbered")
            << 8 << 3 << false << true << "12pt 20mm box"
            << "10pt 5.292mm box"
            << "1"
            << "8pt 4.2336mm sides"
            << "11pt 5.8212mm box"
            << QStringList{"11pt 5.8212mm box|204|11pt 5.8212mm box|0.64",
                           "10pt 5.292mm box|221|10pt 5.292mm box|0.64",
                           "9pt 4.7628mm box|238|9pt 4.7628mm box|0.64"};
    }
    void bands()
    {
        QFETCH(int, fontSize);
        QFETCH(int, levels);
        QFETCH(bool, firstPageOnly);
        QFETCH(bool, pageNumbers);
        QFETCH(QString, title);
        QFETCH(QString, header);
        QFETCH(QString, headerChildren);
        QFETCH(QString, detail);
        QFETCH(QString, summary);
        QFETCH(QStringList, groups);
        TFixture f;
        const QList<TField*> all{f.Field("EXT_CODE"), f.Field("EXT_NAME"), f.Field("DURATION")};
        const QStringList titleLines{QStringLiteral("Calls"), QStringLiteral("Interval: March"),
                                     QStringLiteral("Extensions: 101")};
        std::optional<QFont> font;
        if (fontSize > 0)
            font = QFont(QStringLiteral("DejaVu Sans"), fontSize);
        f.Frame->BuildLayout(titleLines, all.mid(0, levels), firstPageOnly, pageNumbers, false, font);
        const TReport* report = f.Frame->Report();
        QVERIFY(report);

        const TBand* titleBand = report->Band(firstPageOnly ? TBandKind::Title : TBandKind::PageHeader);
        QVERIFY(titleBand);
        QVERIFY(!report->Band(firstPageOnly ? TBandKind::PageHeader : TBandKind::Title));
        QCOMPARE(Shape(titleBand), title);
        QCOMPARE(ChildHeights(titleBand), QStringLiteral("1"));
        const double line = (FontPointSize(report->Font()) + 4) / 2;
        QCOMPARE(int(titleBand->Elements().size()), 3);
        for (int i = 0; i < 3; ++i) {
            auto* text = dynamic_cast<const TLabelElement*>(titleBand->Elements().at(i).get());
            QVERIFY(text);
            QCOMPARE(text->Text(), titleLines.at(i));
            QCOMPARE(text->Top(), i * line);
            QVERIFY(text->AlignToBand());
            QVERIFY(text->Alignment() & Qt::AlignHCenter);
        }
        QCOMPARE(report->Title(), QStringLiteral("Telvane Control: Calls"));

        QCOMPARE(Shape(report->Band(TBandKind::ColumnHeader)), header);
        QCOMPARE(ChildHeights(report->Band(TBandKind::ColumnHeader)), headerChildren);
        QCOMPARE(Shape(report->Band(TBandKind::Detail)), detail);
        QCOMPARE(Shape(report->Band(TBandKind::Summary)), summary);
        QVERIFY(!report->PrintIfEmpty());

        QCOMPARE(int(report->Groups().size()), groups.size());
        for (int i = 0; i < groups.size(); ++i) {
            const TGroupBand* group = report->Groups().at(i).get();
            const QStringList expected = groups.at(i).split(QLatin1Char('|'));
            QCOMPARE(Shape(group), expected.at(0));
            QCOMPARE(group->Background(),
                     QColor(expected.at(1).toInt(), expected.at(1).toInt(), expected.at(1).toInt()));
            QCOMPARE(group->Footer()->Background(), group->Background());
            QCOMPARE(Shape(group->Footer()), expected.at(2));
            QCOMPARE(ChildHeights(group->Footer()), expected.at(3));
            QVERIFY(group->ReprintOnNewPage());
            QCOMPARE(group->Expression(), all.at(i)->FieldName());
        }

        const TBand* pageFooter = report->Band(TBandKind::PageFooter);
        QCOMPARE(bool(pageFooter), pageNumbers);
        QCOMPARE(report->Page().BottomMargin, pageNumbers ? 5.0 : TPageSetup().BottomMargin);
        if (pageFooter) {
            QCOMPARE(Elements(pageFooter), QStringLiteral("P@0+190"));
            QCOMPARE(FontPointSize(pageFooter->Font()), 10.0);
            auto* number = dynamic_cast<const TPageNumberElement*>(pageFooter->Elements().front().get());
            QVERIFY(number->AlignToBand() && (number->Alignment() & Qt::AlignHCenter));
        }
    }

    void links_data()
    {
        QTest::addColumn<int>("levels");
        QTest::newRow("none") << 0;
        QTest::newRow("one") << 1;
        QTest::newRow("three") << 3;
    }
    void links()
    {
        QFETCH(int, levels);
        TFixture f;
        const QList<TField*> all{f.Field("EXT_CODE"), f.Field("EXT_NAME"), f.Field("DURATION")};
        f.Frame->BuildLayout({QStringLiteral("Calls")}, all.mid(0, levels), true, true, false, std::nullopt);
        const TReport* report = f.Frame->Report();
        const TBand* detail = report->Band(TBandKind::Detail);
        if (levels == 0) {
            QCOMPARE(detail->Link(), report->Band(TBandKind::Summary));
            return;
        }
        const auto& groups = report->Groups();
        for (int i = 0; i + 1 < levels; ++i)
            QCOMPARE(groups.at(i)->Link(), static_cast<TBand*>(groups.at(i + 1).get()));
        QCOMPARE(groups.back()->Link(), detail);
        QCOMPARE(detail->Link(), groups.back()->Footer());
        QVERIFY(!report->Band(TBandKind::Summary)->Link());
    }

    // The builders see each level's header with its column, each footer and the summary,
    // with the automatic-size flag; the elements they add are the layout's.
    void buildersCalls()
    {
        TFixture f;
        QStringList calls;
        f.Frame->SetBuilders(
            [&](TBand& band, bool autoSize) {
                calls << QStringLiteral("totals %1 %2").arg(int(band.Kind())).arg(autoSize);
                double x = 0;
                band.Add<TDynamicExpr>(band, autoSize, TPrintHandler(), 14, x, QStringLiteral("COUNT"));
            },
            [&](TDynamicGroup& header, const TField* column, bool autoSize) {
                calls << QStringLiteral("header %1 %2 %3")
                             .arg(column ? column->FieldName() : QStringLiteral("-"))
                             .arg(header.Increase())
                             .arg(autoSize);
            });
        f.Frame->BuildLayout({QStringLiteral("Calls")}, {f.Field("EXT_NAME"), nullptr}, true, false, true,
                             std::nullopt);
        const QString footer = QString::number(int(TBandKind::GroupFooter));
        QCOMPARE(calls, (QStringList{"header EXT_NAME 2 1", "totals " + footer + " 1", "header - 1 1",
                                     "totals " + footer + " 1",
                                     "totals " + QString::number(int(TBandKind::Summary)) + " 1"}));
        const TReport* report = f.Frame->Report();
        // A level without a column makes one group of all rows.
        QCOMPARE(report->Groups().at(1)->Expression(), QString());
        // The totals element: 14 times the summary's font size, reset after each print.
        const TBand* summary = report->Band(TBandKind::Summary);
        QCOMPARE(Elements(summary), QStringLiteral("E COUNT@0+182"));
        auto* totals = dynamic_cast<const TExpressionElement*>(summary->Elements().front().get());
        QVERIFY(totals->ResetAfterPrint());
        QVERIFY(totals->AutoSize());
    }

    // Group columns that fail to build come back; one hidden before stays hidden; the failed
    // layout is not kept.
    void failureRestoresColumns()
    {
        TFixture f;
        f.Field("EXT_NAME")->SetVisible(false);
        f.Frame->BuildLayout({QStringLiteral("Calls")}, {}, true, false, false, std::nullopt);
        QVERIFY(f.Frame->Report());
        f.Frame->SetBuilders(
            [](TBand& band, bool) {
                if (band.Kind() == TBandKind::Summary)
                    throw Exception(QStringLiteral("no totals today"));
            },
            {});
        QVERIFY_THROWS_EXCEPTION(Exception, f.Frame->BuildLayout({QStringLiteral("Calls")},
                                                                 {f.Field("EXT_CODE"), f.Field("EXT_NAME")},
                                                                 true, false, false, std::nullopt));
        QCOMPARE(f.Visible(), QStringLiteral("EXT_CODE,DURATION,CHARGE"));
        QVERIFY(!f.Frame->Report());
    }

    // A group column of another dataset (the result while the special report shows) groups
    // by the shown dataset's column of that name; one the shown dataset lacks by nothing.
    void groupColumnsByName()
    {
        TFixture f;
        TRemoteDataSet other;
        other.AddField(QStringLiteral("ext_code"), TFieldType::String, 8);
        other.AddField(QStringLiteral("ELSEWHERE"), TFieldType::String, 8);
        other.CreateDataSet();
        f.Frame->BuildLayout(
            {QStringLiteral("Calls")},
            {other.FieldByName(QStringLiteral("ext_code")), other.FieldByName(QStringLiteral("ELSEWHERE"))},
            true, false, false, std::nullopt);
        const TReport* report = f.Frame->Report();
        QCOMPARE(report->Groups().at(0)->Expression(), QStringLiteral("EXT_CODE"));
        QCOMPARE(report->Groups().at(1)->Expression(), QString());
        QVERIFY(!Elements(report->Band(TBandKind::Detail)).contains(QStringLiteral("EXT_CODE")));
        QVERIFY(f.Field("EXT_CODE")->Visible());
        QVERIFY(other.FieldByName(QStringLiteral("ext_code"))->Visible());
    }

    // Without a dataset the layout has its bands and no columns.
    void noDataset()
    {
        QWidget host;
        auto* frame = new TFrameReportGrid(&host);
        frame->BuildLayout({QStringLiteral("Calls")}, {}, true, false, false, std::nullopt);
        QVERIFY(frame->Report());
        QCOMPARE(Elements(frame->Report()->Band(TBandKind::Detail)), QString());
    }

    void setBuildersDiscardsTheLayout()
    {
        TFixture f;
        f.Frame->BuildLayout({QStringLiteral("Calls")}, {}, true, false, false, std::nullopt);
        QVERIFY(f.Frame->Report());
        f.Frame->SetBuilders({}, {});
        QVERIFY(!f.Frame->Report());
    }
};

QTEST_MAIN(TestReportLayout)
#include "tst_reportlayout.moc"
