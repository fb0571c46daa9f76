#pragma once
// The expression language of report elements and grouping levels, parsed once per layout
// against the columns of a row source and then evaluated row by row.
//
//   SUM(1)+'|'+COUNT+'|'+SUM(TOTAL_DURATION)     sums and counts over the band's rows
//   'Trunk '+TRUNK                                a literal, a blank and the column's text
//   [Call count]                                  a column whose name is not a plain word
//
// The language:
// - string literals in single quotes, a quote inside doubled ('It''s');
// - numbers (digits with an optional "." fraction);
// - column references by name, compared without regard to case; a name that is not a plain
//   word (letters, digits, "_") stands in brackets;
// - SUM(x): the sum of x over the rows in scope (nulls skipped); SUM(1) counts them;
// - COUNT: the number of rows in scope; COUNT(x): the rows where x is not null;
// - a + b: the sum when both are numbers, otherwise the two texts joined;
// - parentheses; names of functions compare without regard to case.
// The empty text is a valid expression whose value is the empty text.
//
// Values: a column reference is the column's value; where it becomes text (printed, or
// joined to a text) it is the column's display text, as the grid shows it. Numbers that
// the expression computes print with "." as the decimal separator whatever the locale and
// without trailing zeros (12.5, 150, -3.25); an integer sum stays an integer.
//
// Aggregates belong to the expression: each row in scope is added with Accumulate, the
// value read with Evaluate, and Reset starts a new scope. Their state lives in a
// TAggregates that the caller keeps, so one parsed expression serves many runs.

#include "core/Errors.h"

#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

class TRowSource;

// A malformed expression, or one that cannot be evaluated. The message names the
// expression and the 1-based position of the fault, for example
// Expression "SUM(DURATION": ")" expected at position 13.
class EExpressionError : public Exception {
public:
    EExpressionError(const QString& expression, const QString& fault, int position);
    const QString& Expression() const { return expression_; }
    int Position() const { return position_; }
    QString ClassName() const override;

private:
    QString expression_;
    int position_;
};

// The running state of an expression's aggregates.
class TAggregates {
public:
    void Reset();

private:
    friend class TExpression;
    struct TSlot {
        qint64 Integer = 0;
        double Real = 0;
        bool IsReal = false;
        qint64 Count = 0;
    };
    std::vector<TSlot> slots_;
};

class TExpression {
public:
    // The empty expression.
    TExpression();
    ~TExpression();
    TExpression(const TExpression&);
    TExpression& operator=(const TExpression&);
    TExpression(TExpression&&) noexcept;
    TExpression& operator=(TExpression&&) noexcept;

    // Parses text against the source's columns. Raises EExpressionError for a malformed
    // text or an unknown column. The source must outlive the expression.
    static TExpression Parse(const QString& text, const TRowSource& source);

    const QString& Text() const { return text_; }
    bool IsEmpty() const;
    bool HasAggregates() const;

    // A state sized for this expression's aggregates, all empty.
    TAggregates NewAggregates() const;
    // Adds one row to the aggregates. Raises EExpressionError when SUM meets a value that
    // is not a number.
    void Accumulate(int row, TAggregates& aggregates) const;
    // The value at a row (aggregates as accumulated so far): null, qint64, double or QString.
    // Without aggregates (or with another expression's), SUM and COUNT are 0.
    QVariant Evaluate(int row, const TAggregates& aggregates) const;
    QVariant Evaluate(int row) const;  // an expression without aggregates
    // The printed text of the value at a row.
    QString EvaluateText(int row, const TAggregates& aggregates) const;
    QString EvaluateText(int row) const;

    // The text of a number as expressions print it.
    static QString NumberText(double value);

    struct TNode;
    struct TValue;

private:
    TValue Value(const TNode& node, int row, const TAggregates& aggregates) const;
    void AccumulateNode(const TNode& node, int row, TAggregates& aggregates) const;

    QString text_;
    std::shared_ptr<const TNode> root_;  // immutable once parsed, so copies share it
    const TRowSource* source_ = nullptr;
    int aggregateCount_ = 0;
};
