#include "printing/Expression.h"

#include "printing/RowSource.h"

#include <QCoreApplication>

#include <cmath>
#include <limits>

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("TExpression", text);
}

}  // namespace

// A value while evaluating. A column's value keeps its column and row: where it becomes
// text it is the column's display text, read only then.
struct TExpression::TValue {
    enum class TKind { Null, Integer, Real, Text };
    TKind Kind = TKind::Null;
    qint64 Integer = 0;
    double Real = 0;
    QString String;
    const TRowSource* Source = nullptr;
    int Column = -1;
    int Row = -1;

    bool IsNumber() const { return Kind == TKind::Integer || Kind == TKind::Real; }
    double AsReal() const { return Kind == TKind::Integer ? static_cast<double>(Integer) : Real; }

    QString Text() const
    {
        if (Column >= 0)
            return Source->DisplayText(Row, Column);
        switch (Kind) {
            case TKind::Null:
                return {};
            case TKind::Integer:
                return QString::number(Integer);
            case TKind::Real:
                return TExpression::NumberText(Real);
            case TKind::Text:
                return String;
        }
        return {};
    }

    QVariant ToVariant() const
    {
        switch (Kind) {
            case TKind::Null:
                return {};
            case TKind::Integer:
                return QVariant::fromValue(Integer);
            case TKind::Real:
                return Real;
            case TKind::Text:
                return Text();
        }
        return {};
    }
};

namespace {

using TValue = TExpression::TValue;

TValue IntegerValue(qint64 value)
{
    TValue v;
    v.Kind = TValue::TKind::Integer;
    v.Integer = value;
    return v;
}

TValue RealValue(double value)
{
    TValue v;
    v.Kind = TValue::TKind::Real;
    v.Real = value;
    return v;
}

TValue TextValue(const QString& text)
{
    TValue v;
    v.Kind = TValue::TKind::Text;
    v.String = text;
    return v;
}

// A column's value at a row, typed by what the source holds.
TValue ColumnValue(const TRowSource& source, int row, int column)
{
    const QVariant value = source.Value(row, column);
    TValue v;
    v.Source = &source;
    v.Column = column;
    v.Row = row;
    if (!value.isValid() || value.isNull())
        return v;
    switch (value.metaType().id()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            v.Kind = TValue::TKind::Integer;
            v.Integer = value.toLongLong();
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            v.Kind = TValue::TKind::Real;
            v.Real = value.toDouble();
            break;
        default:
            v.Kind = TValue::TKind::Text;
            v.String = value.toString();
            break;
    }
    return v;
}

}  // namespace

// ---- errors -------------------------------------------------------------------------------

EExpressionError::EExpressionError(const QString& expression, const QString& fault, int position)
    : Exception(Tr("Expression \"%1\": %2 at position %3.").arg(expression, fault).arg(position)),
      expression_(expression),
      position_(position)
{
}

QString EExpressionError::ClassName() const
{
    return QStringLiteral("EExpressionError");
}

void TAggregates::Reset()
{
    for (TSlot& slot : slots_)
        slot = TSlot();
}

// ---- the tree -----------------------------------------------------------------------------

struct TExpression::TNode {
    enum class TKind { Literal, Column, Sum, Count, Add };
    TKind Kind = TKind::Literal;
    int Position = 1;
    TValue Literal;
    int Column = -1;
    int Slot = -1;                        // Sum, Count
    std::unique_ptr<const TNode> First;   // Sum, Count (may be null): the argument; Add
    std::unique_ptr<const TNode> Second;  // Add
};

namespace {

using TNode = TExpression::TNode;

class TParser {
public:
    TParser(const QString& text, const TRowSource& source) : text_(text), source_(source) {}

    std::unique_ptr<const TNode> ParseAll()
    {
        SkipBlanks();
        if (pos_ >= text_.size())
            return nullptr;
        auto root = ParseSum();
        SkipBlanks();
        if (pos_ < text_.size())
            Fail(Tr("\"+\" or the end expected"));
        return root;
    }

    int SlotCount() const { return slots_; }

private:
    [[noreturn]] void Fail(const QString& fault) const { Fail(fault, static_cast<int>(pos_) + 1); }
    [[noreturn]] void Fail(const QString& fault, int position) const
    {
        throw EExpressionError(text_, fault, position);
    }

    void SkipBlanks()
    {
        while (pos_ < text_.size() && text_[pos_].isSpace())
            ++pos_;
    }

    bool Take(QChar c)
    {
        SkipBlanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    void Expect(QChar c)
    {
        if (!Take(c))
            Fail(Tr("\"%1\" expected").arg(c));
    }

    std::unique_ptr<const TNode> ParseSum()
    {
        auto left = ParsePrimary();
        while (true) {
            SkipBlanks();
            const int position = static_cast<int>(pos_) + 1;
            if (!Take(QLatin1Char('+')))
                return left;
            auto node = std::make_unique<TNode>();
            node->Kind = TNode::TKind::Add;
            node->Position = position;
            node->First = std::move(left);
            node->Second = ParsePrimary();
            left = std::move(node);
        }
    }

    std::unique_ptr<const TNode> ParsePrimary()
    {
        SkipBlanks();
        if (pos_ >= text_.size())
            Fail(Tr("value expected"));
        const QChar c = text_[pos_];
        if (c == QLatin1Char('\''))
            return ParseString();
        if (c.isDigit())
            return ParseNumber();
        if (c == QLatin1Char('(')) {
            ++pos_;
            auto inner = ParseSum();
            Expect(QLatin1Char(')'));
            return inner;
        }
        if (c == QLatin1Char('['))
            return ParseBracketedColumn();
        if (c.isLetter() || c == QLatin1Char('_'))
            return ParseName();
        if (c == QLatin1Char('+') || c == QLatin1Char(')'))
            Fail(Tr("value expected"));
        Fail(Tr("unexpected character \"%1\"").arg(c));
    }

    std::unique_ptr<const TNode> ParseString()
    {
        const int start = static_cast<int>(pos_) + 1;
        ++pos_;
        QString value;
        while (true) {
            if (pos_ >= text_.size())
                Fail(Tr("unterminated text"), start);
            const QChar c = text_[pos_++];
            if (c != QLatin1Char('\'')) {
                value += c;
                continue;
            }
            if (pos_ < text_.size() && text_[pos_] == QLatin1Char('\'')) {
                value += c;
                ++pos_;
                continue;
            }
            break;
        }
        auto node = std::make_unique<TNode>();
        node->Position = start;
        node->Literal = TextValue(value);
        return node;
    }

    std::unique_ptr<const TNode> ParseNumber()
    {
        const qsizetype start = pos_;
        while (pos_ < text_.size() && text_[pos_].isDigit())
            ++pos_;
        bool real = false;
        if (pos_ < text_.size() && text_[pos_] == QLatin1Char('.')) {
            ++pos_;
            if (pos_ >= text_.size() || !text_[pos_].isDigit())
                Fail(Tr("digit expected"));
            while (pos_ < text_.size() && text_[pos_].isDigit())
                ++pos_;
            real = true;
        }
        const QString digits = text_.mid(start, pos_ - start);
        auto node = std::make_unique<TNode>();
        node->Position = static_cast<int>(start) + 1;
        bool ok = false;
        const qint64 integer = real ? 0 : digits.toLongLong(&ok);
        node->Literal = ok ? IntegerValue(integer) : RealValue(digits.toDouble());
        return node;
    }

    std::unique_ptr<const TNode> ParseBracketedColumn()
    {
        const int start = static_cast<int>(pos_) + 1;
        const qsizetype close = text_.indexOf(QLatin1Char(']'), pos_ + 1);
        if (close < 0)
            Fail(Tr("\"]\" expected"), static_cast<int>(text_.size()) + 1);
        const QString name = text_.mid(pos_ + 1, close - pos_ - 1).trimmed();
        pos_ = close + 1;
        return ColumnNode(name, start);
    }

    std::unique_ptr<const TNode> ColumnNode(const QString& name, int position)
    {
        const int column = source_.FindColumn(name);
        if (column < 0)
            Fail(Tr("unknown column \"%1\"").arg(name), position);
        auto node = std::make_unique<TNode>();
        node->Kind = TNode::TKind::Column;
        node->Position = position;
        node->Column = column;
        return node;
    }

    std::unique_ptr<const TNode> ParseName()
    {
        const qsizetype start = pos_;
        while (pos_ < text_.size() && (text_[pos_].isLetterOrNumber() || text_[pos_] == QLatin1Char('_')))
            ++pos_;
        const QString name = text_.mid(start, pos_ - start);
        const int position = static_cast<int>(start) + 1;
        const QString upper = name.toUpper();
        if (upper == QLatin1String("SUM") || upper == QLatin1String("COUNT"))
            return ParseAggregate(upper == QLatin1String("SUM"), position);
        SkipBlanks();
        if (pos_ < text_.size() && text_[pos_] == QLatin1Char('('))
            Fail(Tr("unknown function \"%1\"").arg(name), position);
        return ColumnNode(name, position);
    }

    std::unique_ptr<const TNode> ParseAggregate(bool sum, int position)
    {
        if (insideAggregate_)
            Fail(Tr("SUM and COUNT cannot be nested"), position);
        auto node = std::make_unique<TNode>();
        node->Kind = sum ? TNode::TKind::Sum : TNode::TKind::Count;
        node->Position = position;
        node->Slot = slots_++;
        if (sum) {
            Expect(QLatin1Char('('));
        } else if (!Take(QLatin1Char('('))) {
            return node;  // COUNT alone
        }
        if (!sum && Take(QLatin1Char(')')))
            return node;  // COUNT()
        insideAggregate_ = true;
        node->First = ParseSum();
        insideAggregate_ = false;
        Expect(QLatin1Char(')'));
        return node;
    }

    const QString& text_;
    const TRowSource& source_;
    qsizetype pos_ = 0;
    int slots_ = 0;
    bool insideAggregate_ = false;
};

}  // namespace

// ---- the expression -----------------------------------------------------------------------

TExpression::TExpression() = default;
TExpression::~TExpression() = default;
TExpression::TExpression(const TExpression&) = default;
TExpression& TExpression::operator=(const TExpression&) = default;
TExpression::TExpression(TExpression&&) noexcept = default;
TExpression& TExpression::operator=(TExpression&&) noexcept = default;

TExpression TExpression::Parse(const QString& text, const TRowSource& source)
{
    TParser parser(text, source);
    TExpression expression;
    expression.text_ = text;
    expression.source_ = &source;
    expression.root_ = parser.ParseAll();
    expression.aggregateCount_ = parser.SlotCount();
    return expression;
}

bool TExpression::IsEmpty() const
{
    return !root_;
}

bool TExpression::HasAggregates() const
{
    return aggregateCount_ > 0;
}

TAggregates TExpression::NewAggregates() const
{
    TAggregates aggregates;
    aggregates.slots_.resize(static_cast<size_t>(aggregateCount_));
    return aggregates;
}

TValue TExpression::Value(const TNode& node, int row, const TAggregates& aggregates) const
{
    switch (node.Kind) {
        case TNode::TKind::Literal:
            return node.Literal;
        case TNode::TKind::Column:
            // A band of a report without rows has no row to read.
            return row >= 0 ? ColumnValue(*source_, row, node.Column) : TValue();
        case TNode::TKind::Sum:
        case TNode::TKind::Count: {
            const auto index = static_cast<size_t>(node.Slot);
            if (index >= aggregates.slots_.size())
                return IntegerValue(0);
            const TAggregates::TSlot& slot = aggregates.slots_[index];
            if (node.Kind == TNode::TKind::Count)
                return IntegerValue(slot.Count);
            return slot.IsReal ? RealValue(slot.Real + static_cast<double>(slot.Integer))
                               : IntegerValue(slot.Integer);
        }
        case TNode::TKind::Add: {
            const TValue a = Value(*node.First, row, aggregates);
            const TValue b = Value(*node.Second, row, aggregates);
            if (a.IsNumber() && b.IsNumber()) {
                if (a.Kind == TValue::TKind::Integer && b.Kind == TValue::TKind::Integer)
                    return IntegerValue(a.Integer + b.Integer);
                return RealValue(a.AsReal() + b.AsReal());
            }
            return TextValue(a.Text() + b.Text());
        }
    }
    return {};
}

void TExpression::AccumulateNode(const TNode& node, int row, TAggregates& aggregates) const
{
    if (node.Kind == TNode::TKind::Add) {
        AccumulateNode(*node.First, row, aggregates);
        AccumulateNode(*node.Second, row, aggregates);
        return;
    }
    if (node.Kind != TNode::TKind::Sum && node.Kind != TNode::TKind::Count)
        return;
    TAggregates::TSlot& slot = aggregates.slots_[static_cast<size_t>(node.Slot)];
    if (!node.First) {
        ++slot.Count;
        return;
    }
    // Aggregates are never nested: the argument is a plain value of the row.
    const TValue value = Value(*node.First, row, aggregates);
    if (value.Kind == TValue::TKind::Null)
        return;
    ++slot.Count;
    if (node.Kind == TNode::TKind::Count)
        return;
    if (value.Kind == TValue::TKind::Integer) {
        slot.Integer += value.Integer;
        return;
    }
    double number = value.Real;
    if (value.Kind == TValue::TKind::Text) {
        bool ok = false;
        number = value.String.trimmed().toDouble(&ok);
        if (!ok)
            throw EExpressionError(
                text_, Tr("SUM of the text \"%1\" in row %2").arg(value.String).arg(row + 1), node.Position);
    }
    slot.Real += number;
    slot.IsReal = true;
}

void TExpression::Accumulate(int row, TAggregates& aggregates) const
{
    if (!root_ || aggregateCount_ == 0)
        return;
    if (aggregates.slots_.size() < static_cast<size_t>(aggregateCount_))
        aggregates.slots_.resize(static_cast<size_t>(aggregateCount_));
    AccumulateNode(*root_, row, aggregates);
}

QVariant TExpression::Evaluate(int row, const TAggregates& aggregates) const
{
    if (!root_)
        return QString();
    return Value(*root_, row, aggregates).ToVariant();
}

QVariant TExpression::Evaluate(int row) const
{
    return Evaluate(row, TAggregates());
}

QString TExpression::EvaluateText(int row, const TAggregates& aggregates) const
{
    if (!root_)
        return {};
    return Value(*root_, row, aggregates).Text();
}

QString TExpression::EvaluateText(int row) const
{
    return EvaluateText(row, TAggregates());
}

QString TExpression::NumberText(double value)
{
    if (!std::isfinite(value))
        return QString::number(value);
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e15)
        return QString::number(value, 'g', 15);
    // 15 significant digits: sums of many cents come out as 12.6, not 12.600000000000001.
    const int whole = magnitude >= 1 ? static_cast<int>(std::floor(std::log10(magnitude))) + 1 : 0;
    QString text = QString::number(value, 'f', std::max(0, 15 - whole));
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}
