#pragma once
// A band: a strip across the page's printable width that prints once per occasion of its
// kind (every page, every row, every group, once at the end). Plain data: the engine reads
// it, nothing in it acts.
//
//   TBand* detail = report.AddBand(TBandKind::Detail);
//   detail->SetHeight(0.5292 * detail->Font().pointSizeF());
//   detail->SetFrame(TFrameLines::Sides());
//   detail->Add<TFieldElement>(QStringLiteral("EXT_CODE"))->SetGeometry(0, 0, 20);
//   detail->AddChild(1.0);  // a gap of 1 mm after every row
//
// Kinds and where they print:
// - Title: once, at the top of the first page (below the page header).
// - PageHeader: at the top of every page.
// - ColumnHeader: at the top of every page, below the title and the page header.
// - GroupHeader (TGroupBand): where its grouping expression changes value, and again at
//   the top of a new page while its group goes on, when ReprintOnNewPage is set.
// - Detail: once per row.
// - GroupFooter: the group's footer band, after its group's last row.
// - Summary: once, after the last row.
// - PageFooter: at the bottom of every page.
// - Child: below its parent band, every time the parent prints, on the same page.
//
// A band and its children always share a page. A link keeps a band on the page of the band
// it links to when that band prints right after it (a group header with its first row, a
// last row with its group's footer): the engine moves both to a new page rather than
// leaving the first alone at the bottom.

#include "printing/ReportElements.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <memory>
#include <vector>

enum class TBandKind {
    Title,
    PageHeader,
    ColumnHeader,
    GroupHeader,
    Detail,
    GroupFooter,
    Summary,
    PageFooter,
    Child
};

// Frame lines along a band's edges.
struct TFrameLines {
    bool Top = false;
    bool Bottom = false;
    bool Left = false;
    bool Right = false;
    double Width = 0.2;  // mm
    QColor Color = Qt::black;

    static TFrameLines None() { return {}; }
    // All four lines.
    static TFrameLines Box();
    // The left and right lines only.
    static TFrameLines Sides();
    bool Any() const { return Top || Bottom || Left || Right; }
};

class TBand {
public:
    explicit TBand(TBandKind kind, const QFont& font = QFont());
    virtual ~TBand();
    TBand(const TBand&) = delete;
    TBand& operator=(const TBand&) = delete;

    TBandKind Kind() const { return kind_; }

    double Height() const { return height_; }  // mm
    void SetHeight(double mm) { height_ = mm; }
    const QFont& Font() const { return font_; }
    void SetFont(const QFont& font) { font_ = font; }
    // An invalid colour: no background.
    const QColor& Background() const { return background_; }
    void SetBackground(const QColor& color) { background_ = color; }
    const TFrameLines& Frame() const { return frame_; }
    void SetFrame(const TFrameLines& frame) { frame_ = frame; }

    // Elements in the order they were added (the order of a comma-separated line).
    const std::vector<std::unique_ptr<TElement>>& Elements() const { return elements_; }
    TElement* AddElement(std::unique_ptr<TElement> element);
    template <class T, class... Args>
    T* Add(Args&&... args)
    {
        auto element = std::make_unique<T>(std::forward<Args>(args)...);
        T* result = element.get();
        AddElement(std::move(element));
        return result;
    }

    // The child printed right below this band; null when there is none.
    TBand* Child() const { return child_.get(); }
    // Adds a child band of the given height with this band's font at the end of the chain
    // of children (below the last child) and returns it.
    TBand* AddChild(double height);
    // The height of the band and all its children.
    double TotalHeight() const;

    // The band kept on one page with this one; not owned, null when none.
    TBand* Link() const { return link_; }
    void SetLink(TBand* band) { link_ = band; }

private:
    TBandKind kind_;
    double height_ = 0;
    QFont font_;
    QColor background_;
    TFrameLines frame_;
    std::vector<std::unique_ptr<TElement>> elements_;
    std::unique_ptr<TBand> child_;
    TBand* link_ = nullptr;
};

// A grouping level: the header band, its grouping expression and its footer. Rows form a
// group while the expression's text stays the same; an empty expression makes one group of
// all rows. The expression may not use SUM or COUNT.
class TGroupBand : public TBand {
public:
    explicit TGroupBand(const QFont& font = QFont(), QString expression = {});
    ~TGroupBand() override;

    const QString& Expression() const { return expression_; }
    void SetExpression(const QString& expression) { expression_ = expression; }
    // Printed again at the top of each new page while the group goes on (default on).
    bool ReprintOnNewPage() const { return reprint_; }
    void SetReprintOnNewPage(bool on) { reprint_ = on; }

    // The footer band; null until AddFooter.
    TBand* Footer() const { return footer_.get(); }
    // Makes the footer band (with this band's font), replacing any earlier one, and returns it.
    TBand* AddFooter();

private:
    QString expression_;
    bool reprint_ = true;
    std::unique_ptr<TBand> footer_;
};
