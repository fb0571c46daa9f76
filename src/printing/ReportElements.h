#pragma once
// What a band prints: texts (fixed, expression, dataset column, page number) and vertical
// lines. Elements are plain data owned by their band; lengths in millimetres from the band's
// top-left corner, fonts in points.
//
//   auto* name = band->Add<TFieldElement>(QStringLiteral("EXT_NAME"));
//   name->SetGeometry(left, 0, width);
//   auto* totals = footer->Add<TExpressionElement>(QStringLiteral("SUM(1)+'|'+COUNT"));
//   totals->SetResetAfterPrint(true);  // each footer shows its own group's sums
//   totals->SetOnPrint([](const QString& text, const TPrintContext&) { return Pretty(text); });
//
// A text element is one line: vertically placed by its alignment inside its box, never
// wrapped. Without automatic size a text longer than its box ends in "..." (the box is the
// column); with automatic size the box does not cut the text (layout exports, where every
// character matters).
//
// Subclasses may set their geometry and properties in their constructors; the engine reads
// only the properties below.

#include <QFont>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

class TRowSource;

// What a print handler sees of the moment its element prints.
class TPrintContext {
public:
    TPrintContext(const TRowSource& source, int row, int page);

    const TRowSource& Source() const { return source_; }
    // The row the band prints for (a group header: the group's first row; a footer: its last).
    int Row() const { return row_; }
    int Page() const { return page_; }  // 1-based
    // The display text of a column at the row; empty when the column is absent. Never raises.
    QString Text(const QString& column) const;
    // The value of a column at the row; null when the column is absent. Never raises.
    QVariant Value(const QString& column) const;

private:
    const TRowSource& source_;
    int row_;
    int page_;
};

// Replaces an element's text as it prints; given the text the element would print.
using TPrintHandler = std::function<QString(const QString& text, const TPrintContext& context)>;

class TElement {
public:
    virtual ~TElement();

    double Left() const { return left_; }
    double Top() const { return top_; }
    double Width() const { return width_; }
    // 0: down to the band's bottom.
    double Height() const { return height_; }
    void SetLeft(double mm) { left_ = mm; }
    void SetTop(double mm) { top_ = mm; }
    void SetWidth(double mm) { width_ = mm; }
    void SetHeight(double mm) { height_ = mm; }
    void SetGeometry(double left, double top, double width, double height = 0);

protected:
    TElement() = default;

private:
    double left_ = 0;
    double top_ = 0;
    double width_ = 0;
    double height_ = 0;
};

// The base of every element that prints a text.
class TTextElement : public TElement {
public:
    // Default: left, vertically centred.
    Qt::Alignment Alignment() const { return alignment_; }
    void SetAlignment(Qt::Alignment alignment) { alignment_ = alignment; }
    // Aligned across the band's full width instead of the element's box.
    bool AlignToBand() const { return alignToBand_; }
    void SetAlignToBand(bool on) { alignToBand_ = on; }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on) { autoSize_ = on; }
    // The band's font unless one is set here.
    const std::optional<QFont>& Font() const { return font_; }
    void SetFont(const QFont& font) { font_ = font; }

    const TPrintHandler& OnPrint() const { return onPrint_; }
    void SetOnPrint(TPrintHandler handler) { onPrint_ = std::move(handler); }

protected:
    TTextElement() = default;

private:
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
    bool alignToBand_ = false;
    bool autoSize_ = false;
    std::optional<QFont> font_;
    TPrintHandler onPrint_;
};

// A fixed text, printed verbatim (titles, column captions).
class TLabelElement : public TTextElement {
public:
    explicit TLabelElement(QString text = {});
    const QString& Text() const { return text_; }
    void SetText(const QString& text) { text_ = text; }

private:
    QString text_;
};

// The value of an expression (see Expression.h), evaluated as the band prints. With reset
// after print, its aggregates start again once it has printed: a group footer's sums cover
// its group, a page footer's its page.
class TExpressionElement : public TTextElement {
public:
    explicit TExpressionElement(QString expression = {});
    const QString& Expression() const { return expression_; }
    void SetExpression(const QString& expression) { expression_ = expression; }
    bool ResetAfterPrint() const { return resetAfterPrint_; }
    void SetResetAfterPrint(bool on) { resetAfterPrint_ = on; }

private:
    QString expression_;
    bool resetAfterPrint_ = false;
};

// The display text of one column of the row the band prints for.
class TFieldElement : public TTextElement {
public:
    explicit TFieldElement(QString column = {});
    const QString& Column() const { return column_; }
    void SetColumn(const QString& column) { column_ = column; }

private:
    QString column_;
};

// The page's number through a format whose "%1" is the number ("Page %1").
class TPageNumberElement : public TTextElement {
public:
    explicit TPageNumberElement(QString format = QStringLiteral("%1"));
    const QString& Format() const { return format_; }
    void SetFormat(const QString& format) { format_ = format; }

private:
    QString format_;
};

// A vertical line down the middle of the element's box (its width is the room it takes
// between neighbours), from the element's top over its height.
class TVerticalLineElement : public TElement {
public:
    TVerticalLineElement() = default;
    double PenWidth() const { return penWidth_; }  // mm
    void SetPenWidth(double mm) { penWidth_ = mm; }

private:
    double penWidth_ = 0.2;
};
