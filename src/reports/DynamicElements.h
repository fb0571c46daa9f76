#pragma once
// The pieces a report grid builds its printable layout from at run time: elements placed
// left to right along a band (each advances the horizontal position by its width) and the
// band of one grouping level. Lengths in millimetres, font sizes in points.
//
//   double x = 0;
//   band->Add<TDynamicDBText>(*band, autoSize, 30.0, x, QStringLiteral("EXT_CODE"));   // x = 30
//   band->Add<TDynamicRightBorder>(x);                                                 // x = 32
//   band->Add<TDynamicExpr>(*band, autoSize, handler, 14, x, QStringLiteral("COUNT"));
//
// Every element takes its band's font; texts are left aligned, vertically centred and never
// wrapped.

#include "printing/ReportBand.h"

#include <QFont>
#include <QString>

#include <functional>

class TField;
class TDynamicGroup;

// A line band is one and a half lines of its font high: 0.5292 mm per point.
inline constexpr double LineBandFactor = 0.5292;

// What the host of a report grid adds to the header band of a grouping level: given the
// band, the level's column (null when absent) and the automatic-size flag.
using TGroupHeaderBuilder = std::function<void(TDynamicGroup& header, const TField* column, bool autoSize)>;
// What the host adds to a footer band of a grouping level and to the summary band.
using TTotalsBuilder = std::function<void(TBand& band, bool autoSize)>;

// The font's size in points (a font sized in pixels counts 96 pixels to the inch).
double FontPointSize(const QFont& font);
// The font at another size in points.
QFont FontOfSize(const QFont& font, double points);
// The height of a line band of the font.
double LineBandHeight(const QFont& font);
// A column as expressions name it: the name, or the name in brackets when it is not a
// plain word.
QString ColumnReference(const QString& name);

// Places a text element at the position with the width, left aligned and vertically
// centred in its band, and advances the position.
void PlaceText(TTextElement& element, bool autoSize, double width, double& position);

// A vertical line 2 mm wide at the position, over the band's full height.
class TDynamicRightBorder : public TVerticalLineElement {
public:
    static constexpr double BorderWidth = 2;
    explicit TDynamicRightBorder(double& position);
};

// One column of the row, at the position with the given width.
class TDynamicDBText : public TFieldElement {
public:
    TDynamicDBText(const TBand& band, bool autoSize, double width, double& position, const QString& column);
};

// An expression at the position, widthFactor times the band's font size wide; its
// aggregates start again after each print. The handler (optional) replaces the printed text.
class TDynamicExpr : public TExpressionElement {
public:
    TDynamicExpr(const TBand& band, bool autoSize, TPrintHandler handler, double widthFactor,
                 double& position, const QString& expression);
};

// The summary of a plain list: its row count and what the rows are ("12 Archives").
TTotalsBuilder CountTotals(const QString& noun);

// One grouping level: its header band (this) grouping on the column and its footer. The
// font is the report's larger by the increase, the background a grey darker by 17 per step
// of the increase (outer levels have larger increases); both bands are boxed, the header
// prints again at the top of each new page, and a gap of (report font size)² / 100 mm
// follows the footer. The builders (either may be empty) then fill the header and the
// footer.
class TDynamicGroup : public TGroupBand {
public:
    TDynamicGroup(const QFont& reportFont, bool autoSize, const TTotalsBuilder& totalsBuilder,
                  const TGroupHeaderBuilder& headerBuilder, int increase, const TField* column);

    int Increase() const { return increase_; }
    // The grey of a level: 255 - 17 * increase in each of red, green and blue.
    static QColor Grey(int increase);

private:
    int increase_;
};
