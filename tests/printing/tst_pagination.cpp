// Laying reports out into pages, without a printer: which band prints where, on which page,
// with which texts.
//
// Layouts are written as a line of bands on a 100 x 100 mm page with 10 mm margins (80 mm
// for bands): T title, P page header, C column header, D detail, S summary, F page footer,
// A and B the grouping levels on the columns G1 and G2 (outermost first), a and b their
// footers. A band is its letter and height in mm; "+5" adds a 5 mm child, "!" keeps a group
// header from printing again on a new page, ">X" links the band to band X. Rows are written
// as "x1 x1 y2": G1 = x, G2 = 1, and N = 1, 2, 3, ...
// Pages come back as "C A0 D0 D1 a1 | C ...": letters with the row for group bands and rows,
// "." for a child band.

#include "printing/Paginator.h"
#include "support/ReportRows.h"

#include <QRegularExpression>
#include <QTest>

namespace {

TTableRows* MakeRows(const QString& text)
{
    std::vector<QVariantList> rows;
    int n = 0;
    for (const QString& row : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        rows.push_back({row.left(1), row.mid(1), ++n});
    return new TTableRows({"G1", "G2", "N"}, std::move(rows));
}

struct TBuilt {
    std::unique_ptr<TReport> Report;
    TTableRows* Rows = nullptr;
    QMap<const TBand*, QChar> Letters;
    QMap<QChar, TBand*> Bands;
};

TBuilt Build(const QString& layout, const QString& rows)
{
    TBuilt built;
    built.Rows = MakeRows(rows);
    built.Report = std::make_unique<TReport>(std::unique_ptr<TRowSource>(built.Rows));
    TPageSetup page;
    page.Width = page.Height = 100;
    built.Report->SetPage(page);
    static const QRegularExpression token(
        QStringLiteral("^([TPCDSFAaBb])(\\d+)(!?)((?:\\+\\d+)*)(?:>(\\w))?$"));
    QList<QPair<TBand*, QChar>> links;
    for (const QString& part : layout.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const auto match = token.match(part);
        if (!match.hasMatch())
            qFatal("bad layout token %s", qPrintable(part));
        const QChar letter = match.captured(1)[0];
        TBand* band = nullptr;
        switch (letter.toLatin1()) {
            case 'T':
                band = built.Report->AddBand(TBandKind::Title);
                break;
            case 'P':
                band = built.Report->AddBand(TBandKind::PageHeader);
                break;
            case 'C':
                band = built.Report->AddBand(TBandKind::ColumnHeader);
                break;
            case 'D':
                band = built.Report->AddBand(TBandKind::Detail);
                break;
            case 'S':
                band = built.Report->AddBand(TBandKind::Summary);
                break;
            case 'F':
                band = built.Report->AddBand(TBandKind::PageFooter);
                break;
            case 'A':
            case 'B': {
                TGroupBand* group = built.Report->AddGroup(letter == QLatin1Char('A') ? "G1" : "G2");
                group->SetReprintOnNewPage(match.captured(3).isEmpty());
                band = group;
                break;
            }
            default: {
                const TBand* header = built.Bands.value(letter.toUpper());
                band = static_cast<TGroupBand*>(const_cast<TBand*>(header))->AddFooter();
                break;
            }
        }
        band->SetHeight(match.captured(2).toDouble());
        for (const QString& child : match.captured(4).split(QLatin1Char('+'), Qt::SkipEmptyParts))
            band->AddChild(child.toDouble());
        if (!match.captured(5).isEmpty())
            links.append({band, match.captured(5)[0]});
        built.Letters[band] = letter;
        built.Bands[letter] = band;
    }
    for (const auto& [band, target] : links)
        band->SetLink(built.Bands.value(target));
    return built;
}

QString Describe(const TBuilt& built, const std::vector<TPage>& pages)
{
    QStringList out;
    for (const TPage& page : pages) {
        QStringList bands;
        for (const TPlacedBand& placed : page.Bands) {
            if (placed.Band->Kind() == TBandKind::Child) {
                bands << QStringLiteral(".");
                continue;
            }
            const QChar letter = built.Letters.value(placed.Band);
            bands << (QStringLiteral("ABabD").contains(letter) ? letter + QString::number(placed.Row)
                                                               : QString(letter));
        }
        out << bands.join(QLatin1Char(' '));
    }
    return out.join(QStringLiteral(" | "));
}

std::vector<TPage> PagesOf(const TReport& report)
{
    TPaginator paginator(report);
    return Paginate(paginator);
}

// The texts kept for the bands of one letter, in print order, over all pages.
QStringList TextsOf(const TBuilt& built, const std::vector<TPage>& pages, QChar letter)
{
    QStringList texts;
    for (const TPage& page : pages)
        for (const TPlacedBand& placed : page.Bands)
            if (built.Letters.value(placed.Band) == letter)
                for (const QString& text : placed.Texts)
                    texts << text;
    return texts;
}

}  // namespace

class TestPagination : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pages_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QString>("pages");

        const QString nine = "x x x x x x x x x";
        QTest::newRow("rows on one page") << "D10"
                                          << "x x x"
                                          << "D0 D1 D2";
        QTest::newRow("exactly one page of rows") << "D10"
                                                  << "x x x x x x x x"
                                                  << "D0 D1 D2 D3 D4 D5 D6 D7";
        QTest::newRow("one row more") << "D10" << nine << "D0 D1 D2 D3 D4 D5 D6 D7 | D8";
        QTest::newRow("column header on every page")
            << "C10 D10" << nine << "C D0 D1 D2 D3 D4 D5 D6 | C D7 D8";
        QTest::newRow("title on the first page only")
            << "T20 C10 D10" << nine << "T C D0 D1 D2 D3 D4 | C D5 D6 D7 D8";
        QTest::newRow("page header every page, title below it on the first")
            << "P10 T20 D10" << nine << "P T D0 D1 D2 D3 D4 | P D5 D6 D7 D8";
        QTest::newRow("page footer keeps its room")
            << "D10 F10" << nine << "D0 D1 D2 D3 D4 D5 D6 F | D7 D8 F";
        QTest::newRow("summary after the last row") << "D10 S10"
                                                    << "x x x x x x x"
                                                    << "D0 D1 D2 D3 D4 D5 D6 S";
        QTest::newRow("summary alone on a new page") << "D10 S10"
                                                     << "x x x x x x x x"
                                                     << "D0 D1 D2 D3 D4 D5 D6 D7 | S";
        QTest::newRow("last row linked to the summary") << "D10>S S10"
                                                        << "x x x x x x x x"
                                                        << "D0 D1 D2 D3 D4 D5 D6 | D7 S";
        QTest::newRow("a band and its child share a page") << "D10+5"
                                                           << "x x x x x x"
                                                           << "D0 . D1 . D2 . D3 . D4 . | D5 .";
        QTest::newRow("children of children") << "C10+2+3 D10"
                                              << "x"
                                              << "C . . D0";
        QTest::newRow("no rows, no pages") << "T10 C10 D10 S10 F10"
                                           << ""
                                           << "";
        QTest::newRow("band taller than the page prints one per page") << "D90"
                                                                       << "x x"
                                                                       << "D0 | D1";
        QTest::newRow("a row linked to itself is not a chain")
            << "D10>D" << nine << "D0 D1 D2 D3 D4 D5 D6 D7 | D8";

        QTest::newRow("one level") << "A10 a10 D10"
                                   << "x x y"
                                   << "A0 D0 D1 a1 A2 D2 a2";
        QTest::newRow("one level without footer") << "A10 D10"
                                                  << "x y y"
                                                  << "A0 D0 A1 D1 D2";
        QTest::newRow("an empty key is a key like any other") << "B10 b10 D10"
                                                              << "x x y1"
                                                              << "B0 D0 D1 b1 B2 D2 b2";
        QTest::newRow("two levels, header reprinted before its footer")
            << "A10 a10 B10 b10 D10"
            << "x1 x1 x2 y2"
            << "A0 B0 D0 D1 b1 B2 D2 b2 | A2 a2 A3 B3 D3 b3 a3";
        QTest::newRow("outer change breaks the inner level with the same key")
            << "A5 a5 B5 b5 D5"
            << "x1 y1"
            << "A0 B0 D0 b0 a0 A1 B1 D1 b1 a1";
        QTest::newRow("group header reprinted on a new page")
            << "C10 A10 D10" << nine << "C A0 D0 D1 D2 D3 D4 D5 | C A6 D6 D7 D8";
        QTest::newRow("group header not reprinted when switched off")
            << "C10 A10! D10" << nine << "C A0 D0 D1 D2 D3 D4 D5 | C D6 D7 D8";
        QTest::newRow("both levels reprinted, outermost first")
            << "A10 B10 D10" << nine << "A0 B0 D0 D1 D2 D3 D4 D5 | A6 B6 D6 D7 D8";
        QTest::newRow("unlinked header left at the bottom of a page") << "A10 D10"
                                                                      << "x x x x x x y"
                                                                      << "A0 D0 D1 D2 D3 D4 D5 A6 | A6 D6";
        QTest::newRow("linked header goes with its first row") << "A10>D D10"
                                                               << "x x x x x x y"
                                                               << "A0 D0 D1 D2 D3 D4 D5 | A6 D6";
        QTest::newRow("linked chain of headers goes together") << "A10>B B10>D D10"
                                                               << "x1 x1 x1 x1 x1 y1"
                                                               << "A0 B0 D0 D1 D2 D3 D4 | A5 B5 D5";
        QTest::newRow("unlinked chain splits") << "A10 B10 D10"
                                               << "x1 x1 x1 x1 x1 y1"
                                               << "A0 B0 D0 D1 D2 D3 D4 A5 | A5 B5 D5";
        QTest::newRow("last row of a group linked to its footer")
            << "A10 a10 D10>a"
            << "x x x x x x x y"
            << "A0 D0 D1 D2 D3 D4 D5 | A6 D6 a6 A7 D7 a7";
        QTest::newRow("linked row without its footer next stays") << "A10 a10 D10>a"
                                                                  << "x x x x x x x x x"
                                                                  << "A0 D0 D1 D2 D3 D4 D5 D6 | A7 D7 D8 a8";
        QTest::newRow("rows without a detail band feed the groups") << "A10 a10"
                                                                    << "x x y"
                                                                    << "A0 a1 A2 a2";
    }
    void pages()
    {
        QFETCH(QString, layout);
        QFETCH(QString, rows);
        QFETCH(QString, pages);
        const TBuilt built = Build(layout, rows);
        QCOMPARE(Describe(built, PagesOf(*built.Report)), pages);
    }

    void bandsAreStackedFromTheTopMargin()
    {
        const TBuilt built = Build("P10 T20+2 C10 D10 F5", "x x x");
        const std::vector<TPage> pages = PagesOf(*built.Report);
        QCOMPARE(pages.size(), size_t(1));
        QList<double> tops;
        for (const TPlacedBand& band : pages[0].Bands)
            tops << band.Top;
        // P, T, its child, C, three rows, and the page footer on the bottom margin.
        QCOMPARE(tops, QList<double>({10, 20, 40, 42, 52, 62, 72, 85}));
        QCOMPARE(pages[0].Number, 1);
    }

    void elementsArePlacedInTheirBands()
    {
        TBuilt built = Build("C10 D8", "x y");
        TBand* detail = built.Bands.value('D');
        auto* field = detail->Add<TFieldElement>(QStringLiteral("g1"));  // names ignore case
        field->SetGeometry(5, 2, 30);
        field->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
        detail->Add<TVerticalLineElement>()->SetGeometry(35, 0, 2);
        auto* centred = built.Bands.value('C')->Add<TLabelElement>(QStringLiteral("Calls"));
        centred->SetGeometry(3, 1, 10, 4);
        centred->SetAlignToBand(true);
        centred->SetAutoSize(true);
        QFont big;
        big.setPointSize(20);
        centred->SetFont(big);
        detail->SetFrame(TFrameLines::Sides());
        detail->SetBackground(QColor(238, 238, 238));

        TPaginator paginator(*built.Report);
        const TPage page = paginator.NextPage();
        const std::vector<TPlacedElement> placed = paginator.PlaceElements(page);
        // C: its label; each D: its box, the field, the line.
        QCOMPARE(placed.size(), size_t(7));
        QCOMPARE(placed[0].Kind, TPlacedElement::TKind::Text);
        QCOMPARE(placed[0].Rect, QRectF(10, 11, 80, 4));
        QCOMPARE(placed[0].Text, QStringLiteral("Calls"));
        QCOMPARE(placed[0].Font.pointSize(), 20);
        QVERIFY(!placed[0].Clip);
        QCOMPARE(placed[1].Kind, TPlacedElement::TKind::Band);
        QCOMPARE(placed[1].Rect, QRectF(10, 20, 80, 8));
        QCOMPARE(placed[1].Background, QColor(238, 238, 238));
        QVERIFY(placed[1].Frame.Left && placed[1].Frame.Right && !placed[1].Frame.Top);
        QCOMPARE(placed[2].Rect, QRectF(15, 22, 30, 6));  // height 0: down to the band's bottom
        QCOMPARE(placed[2].Text, QStringLiteral("x"));
        QCOMPARE(placed[2].Alignment, Qt::AlignRight | Qt::AlignVCenter);
        QCOMPARE(placed[2].Font, detail->Font());
        QVERIFY(placed[2].Clip);
        QCOMPARE(placed[3].Kind, TPlacedElement::TKind::Line);
        QCOMPARE(placed[3].Rect, QRectF(45, 20, 2, 8));
        QCOMPARE(placed[5].Text, QStringLiteral("y"));
        QCOMPARE(placed[5].Rect.top(), 30.0);
        QCOMPARE(placed[5].PlacedBand, 2);
    }

    void pageNumbers()
    {
        TBuilt built = Build("P10 D10 F10", "x x x x x x x x x x x x x");
        built.Bands.value('F')->Add<TPageNumberElement>(QStringLiteral("Page %1"));
        built.Bands.value('P')->Add<TPageNumberElement>();
        TPaginator paginator(*built.Report);
        const std::vector<TPage> pages = Paginate(paginator);
        QCOMPARE(pages.size(), size_t(3));
        QStringList footers;
        QStringList headers;
        for (const TPage& page : pages)
            for (const TPlacedElement& e : paginator.PlaceElements(page)) {
                if (e.Band == built.Bands.value('F'))
                    footers << e.Text;
                if (e.Band == built.Bands.value('P'))
                    headers << e.Text;
            }
        QCOMPARE(footers, QStringList({"Page 1", "Page 2", "Page 3"}));
        QCOMPARE(headers, QStringList({"1", "2", "3"}));
    }

    void sumsByScope_data()
    {
        QTest::addColumn<QString>("band");
        QTest::addColumn<QString>("expression");
        QTest::addColumn<bool>("reset");
        QTest::addColumn<QStringList>("texts");

        // Rows x x y y y z over two pages of 6 rows, N = 1..6 (D is 10 mm, F 10 mm).
        QTest::newRow("group footer sums its group")
            << "a"
            << "SUM(N)+'/'+COUNT" << true << QStringList({"3/2", "12/3", "6/1"});
        QTest::newRow("without reset the sums run on")
            << "a"
            << "SUM(N)+'/'+COUNT" << false << QStringList({"3/2", "15/5", "21/6"});
        QTest::newRow("summary sums every row") << "S"
                                                << "SUM(N)+'/'+SUM(1)" << false << QStringList({"21/6"});
        QTest::newRow("page footer sums its page")
            << "F"
            << "'page '+SUM(N)" << true << QStringList({"page 10", "page 11"});
        QTest::newRow("a header counts the rows since it last printed")
            << "A"
            << "COUNT" << true << QStringList({"0", "2", "2", "1"});
        QTest::newRow("header values are of the first row below it")
            << "A"
            << "G1+N" << false << QStringList({"x1", "y3", "y5", "z6"});
        QTest::newRow("footer values are of the group's last row")
            << "a"
            << "G1+N" << false << QStringList({"x2", "y5", "z6"});
    }
    void sumsByScope()
    {
        QFETCH(QString, band);
        QFETCH(QString, expression);
        QFETCH(bool, reset);
        QFETCH(QStringList, texts);
        // Page 1: A0 D0 D1 a1 A2 D2 D3 (70 mm) F; page 2: A4 (reprinted) D4 a4 A5 D5 a5 S F.
        TBuilt built = Build("A10 a10 D10 S10 F10", "x x y y y z");
        auto* element = built.Bands.value(band[0])->Add<TExpressionElement>(expression);
        element->SetResetAfterPrint(reset);
        const std::vector<TPage> pages = PagesOf(*built.Report);
        QCOMPARE(Describe(built, pages), QStringLiteral("A0 D0 D1 a1 A2 D2 D3 F | A4 D4 a4 A5 D5 a5 S F"));
        QCOMPARE(TextsOf(built, pages, band[0]), texts);
    }

    void printHandlersSeeTheirRowAndPage()
    {
        TBuilt built = Build("A10 a10 D10", "x x x x x x x x y");
        QList<QPair<int, int>> seen;
        auto* header = built.Bands.value('A')->Add<TLabelElement>(QStringLiteral("Group"));
        header->SetOnPrint([&seen](const QString& text, const TPrintContext& context) {
            seen.append({context.Row(), context.Page()});
            return text + QStringLiteral(" ") + context.Text(QStringLiteral("g1")) +
                   context.Value("N").toString() + context.Text(QStringLiteral("NOSUCH"));
        });
        auto* footer = built.Bands.value('a')->Add<TExpressionElement>(QStringLiteral("SUM(N)"));
        footer->SetResetAfterPrint(true);
        footer->SetOnPrint([](const QString& text, const TPrintContext& context) {
            return QStringLiteral("%1 at row %2").arg(text).arg(context.Row());
        });
        const std::vector<TPage> pages = PagesOf(*built.Report);
        QCOMPARE(Describe(built, pages), QStringLiteral("A0 D0 D1 D2 D3 D4 D5 D6 | A7 D7 a7 A8 D8 a8"));
        QCOMPARE(TextsOf(built, pages, 'A'), QStringList({"Group x1", "Group x8", "Group y9"}));
        QCOMPARE(seen, (QList<QPair<int, int>>{{0, 1}, {7, 2}, {8, 2}}));
        QCOMPARE(TextsOf(built, pages, 'a'), QStringList({"36 at row 7", "9 at row 8"}));
    }

    void emptyReportPrintsNothingUnlessAsked()
    {
        TBuilt built = Build("T10 C10 D10 S10 F10", "");
        built.Bands.value('S')->Add<TExpressionElement>(QStringLiteral("'rows: '+COUNT"));
        built.Bands.value('D')->Add<TFieldElement>(QStringLiteral("G1"));
        {
            TPaginator paginator(*built.Report);
            QVERIFY(paginator.AtEnd());
            QVERIFY_THROWS_EXCEPTION(EReportError, paginator.NextPage());
        }
        built.Report->SetPrintIfEmpty(true);
        const std::vector<TPage> pages = PagesOf(*built.Report);
        QCOMPARE(Describe(built, pages), QStringLiteral("T C S F"));
        QCOMPARE(TextsOf(built, pages, 'S'), QStringList({"rows: 0"}));
    }

    void reportWithoutSourceHasNoRows()
    {
        TReport report;
        report.AddBand(TBandKind::Detail)->SetHeight(10);
        TPaginator paginator(report);
        QVERIFY(paginator.AtEnd());
        QCOMPARE(paginator.RowCount(), 0);
    }

    void rowsChangingUnderTheLayoutStopIt()
    {
        TBuilt built = Build("D10", "x x x x x x x x x x");
        TPaginator paginator(*built.Report);
        const TPage first = paginator.NextPage();
        built.Rows->MarkChanged();
        try {
            paginator.NextPage();
            QFAIL("laid out changed rows");
        } catch (const EReportError& e) {
            QCOMPARE(e.Message(),
                     QStringLiteral("The rows of \"rows\" changed while the report was being printed."));
        }
        QVERIFY_THROWS_EXCEPTION(EReportError, paginator.PlaceElements(first));
    }

    void layoutFaultsAreFoundBeforeTheFirstPage_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("malformed element expression")
            << "expression"
            << "Expression \"SUM(N\": \")\" expected at position 6.";
        QTest::newRow("unknown column of a field")
            << "field"
            << "Unknown column \"CODE\" in a field of the group footer band.";
        QTest::newRow("aggregate as a grouping expression")
            << "group"
            << "Expression \"COUNT\": a grouping expression cannot use SUM or COUNT at position 1.";
        QTest::newRow("malformed grouping expression") << "badgroup"
                                                       << "Expression \"G1+\": value expected at position 4.";
    }
    void layoutFaultsAreFoundBeforeTheFirstPage()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        TBuilt built = Build("A10 a10 D10", "x y");
        auto* group = static_cast<TGroupBand*>(built.Bands.value('A'));
        if (fault == "expression")
            built.Bands.value('D')->Add<TExpressionElement>(QStringLiteral("SUM(N"));
        else if (fault == "field")
            built.Bands.value('a')->Add<TFieldElement>(QStringLiteral("CODE"));
        else if (fault == "group")
            group->SetExpression(QStringLiteral("COUNT"));
        else
            group->SetExpression(QStringLiteral("G1+"));
        try {
            built.Report->Check();
            QFAIL("checked");
        } catch (const Exception& e) {
            QCOMPARE(e.Message(), message);
        }
    }

    void bandsOfGroupsAndChildrenDoNotBelongToTheReport()
    {
        TReport report;
        QVERIFY_THROWS_EXCEPTION(EReportError, report.AddBand(TBandKind::GroupHeader));
        QVERIFY_THROWS_EXCEPTION(EReportError, report.AddBand(TBandKind::Child));
        // A band of a kind replaces the earlier one.
        TBand* first = report.AddBand(TBandKind::Summary);
        TBand* second = report.AddBand(TBandKind::Summary);
        QVERIFY(first != second);
        QCOMPARE(report.Band(TBandKind::Summary), second);
    }

    void manyRowsLayOutInOnePass()
    {
        // 30,000 rows in groups of 7 under groups of 50: every row appears once, in order,
        // and every group footer sums exactly its group.
        std::vector<QVariantList> rows;
        for (int i = 0; i < 30000; ++i)
            rows.push_back({QString::number(i / 50), QString::number(i / 7), i});
        auto* table = new TTableRows({"G1", "G2", "N"}, std::move(rows));
        TReport report{std::unique_ptr<TRowSource>(table)};
        report.AddBand(TBandKind::Detail)->SetHeight(4);
        report.AddBand(TBandKind::ColumnHeader)->SetHeight(6);
        TGroupBand* outer = report.AddGroup(QStringLiteral("G1"));
        outer->SetHeight(5);
        auto* sum = outer->AddFooter();
        sum->SetHeight(5);
        auto* element = sum->Add<TExpressionElement>(QStringLiteral("SUM(N)"));
        element->SetResetAfterPrint(true);
        TGroupBand* inner = report.AddGroup(QStringLiteral("G2"));
        inner->SetHeight(5);
        TPaginator paginator(report);
        int expectedRow = 0;
        int footers = 0;
        int pages = 0;
        while (!paginator.AtEnd()) {
            const TPage page = paginator.NextPage();
            QCOMPARE(page.Number, ++pages);
            for (const TPlacedBand& band : page.Bands) {
                QVERIFY(band.Top + band.Band->Height() <= 287 + 1e-6);
                if (band.Band == report.Band(TBandKind::Detail))
                    QCOMPARE(band.Row, expectedRow++);
                if (band.Band == sum) {
                    const int first = footers++ * 50;
                    const qint64 expected = (qint64(first) + first + 49) * 50 / 2;
                    QCOMPARE(band.Texts.at(0), QString::number(expected));
                }
            }
        }
        QCOMPARE(expectedRow, 30000);
        QCOMPARE(footers, 600);
        QCOMPARE(paginator.RowsDone(), 30000);
    }
};

QTEST_MAIN(TestPagination)
#include "tst_pagination.moc"
