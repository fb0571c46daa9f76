#include "printing/ReportElements.h"

#include "printing/RowSource.h"

TPrintContext::TPrintContext(const TRowSource& source, int row, int page)
    : source_(source), row_(row), page_(page)
{
}

QString TPrintContext::Text(const QString& column) const
{
    const int index = source_.FindColumn(column);
    if (index < 0 || row_ < 0 || row_ >= source_.RowCount())
        return {};
    try {
        return source_.DisplayText(row_, index);
    } catch (const std::exception&) {
        return {};
    }
}

QVariant TPrintContext::Value(const QString& column) const
{
    const int index = source_.FindColumn(column);
    if (index < 0 || row_ < 0 || row_ >= source_.RowCount())
        return {};
    try {
        return source_.Value(row_, index);
    } catch (const std::exception&) {
        return {};
    }
}

TElement::~TElement() = default;

void TElement::SetGeometry(double left, double top, double width, double height)
{
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
}

TLabelElement::TLabelElement(QString text) : text_(std::move(text)) {}

TExpressionElement::TExpressionElement(QString expression) : expression_(std::move(expression)) {}

TFieldElement::TFieldElement(QString column) : column_(std::move(column)) {}

TPageNumberElement::TPageNumberElement(QString format) : format_(std::move(format)) {}
