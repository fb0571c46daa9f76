#pragma once
// Lays a report out into pages, one page at a time: rows and bands in, pages of placed
// bands out. Pure: no printer, no painting, no font metrics; the painter, the writers and
// the preview all take their pages from here, and tests assert page counts and positions.
//
//   TPaginator paginator(report);             // raises EExpressionError, EReportError
//   while (!paginator.AtEnd()) {
//       TPage page = paginator.NextPage();
//       for (const TPlacedElement& e : paginator.PlaceElements(page)) ...
//   }
//
// Order on a page: page header, title (first page), column header, then the headers of the
// groups that go on from the previous page (ReprintOnNewPage), then the flow of group
// headers, rows, group footers and the summary; the page footer at the page's bottom. A
// band goes to the next page when it (with its children, and with the linked band that
// prints right after it) does not fit above the page footer; a page that holds none of the
// flow yet takes it anyway, cut at the bottom if it is taller than the page.
//
// Expression elements are evaluated when their band is placed: aggregates have then seen
// every row placed before (a group footer its group, the summary all rows). Their texts
// and the texts of elements with a print handler are kept in the placed band; the other
// texts are read from the source when elements are placed, so a page of many rows costs
// little memory.
//
// Laying out is linear in the rows: a 100,000-row report takes a fraction of a second
// per thousand pages and holds only the pages its caller keeps.

#include "printing/Expression.h"
#include "printing/Report.h"

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

#include <memory>
#include <vector>

// A band as placed on a page.
struct TPlacedBand {
    const TBand* Band = nullptr;
    int Row = -1;    // the row it prints for; -1 in a report without rows
    double Top = 0;  // mm from the page's top edge
    // The texts of its expression elements and of elements with a print handler, in the
    // order of the band's elements, as evaluated when the band was placed.
    std::vector<QString> Texts;
};

struct TPage {
    int Number = 0;  // 1-based
    std::vector<TPlacedBand> Bands;
};

// One thing to draw, in millimetres from the page's top-left corner.
struct TPlacedElement {
    enum class TKind {
        Band,  // a band's background and frame lines
        Text,
        Line,  // a vertical line from Rect's top to its bottom at Rect's horizontal centre
    };
    TKind Kind = TKind::Text;
    QRectF Rect;
    int PlacedBand = -1;  // the index of its band in TPage::Bands
    const TBand* Band = nullptr;
    const TElement* Element = nullptr;  // null for TKind::Band
    // Text
    QString Text;
    QFont Font;
    Qt::Alignment Alignment;
    bool Clip = true;  // false with automatic size: the box does not cut the text
    // Band
    QColor Background;
    TFrameLines Frame;
    // Line
    double PenWidth = 0;
    QColor Color;
};

class TPaginator {
public:
    // Parses the report's expressions and binds its columns. Raises EExpressionError and
    // EReportError (see TReport::Check). The report and its source must outlive it and not
    // change meanwhile.
    explicit TPaginator(const TReport& report);
    ~TPaginator();
    TPaginator(const TPaginator&) = delete;
    TPaginator& operator=(const TPaginator&) = delete;

    const TReport& Report() const;
    int RowCount() const;
    // Rows placed so far (for progress).
    int RowsDone() const;
    bool AtEnd() const;
    // Lays out the next page; only while !AtEnd(). Raises EExpressionError for a value an
    // expression cannot take (SUM of a text), EReportError when the source changed.
    TPage NextPage();

    // Every thing to draw on a page this paginator laid out, in painting order (a band's
    // background and frame, then its elements). Texts are final: print handlers ran,
    // page numbers are filled in. Raises EReportError when the source changed, and what the
    // source raises for a text.
    std::vector<TPlacedElement> PlaceElements(const TPage& page) const;

private:
    class TState;
    std::unique_ptr<TState> state_;
};

// Every page of a report at once (tests, small reports).
std::vector<TPage> Paginate(TPaginator& paginator);
