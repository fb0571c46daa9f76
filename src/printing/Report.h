#pragma once
// A report: a row source, the page in millimetres, and the bands that print over its rows.
// Plain data; the engine's parts read it: TPaginator lays it out into pages, the painter,
// the PDF and comma-separated writers and the preview window output it.
//
//   TReport report(std::make_unique<TDataSetRowSource>(&cdsResult));
//   report.SetTitle(tr("Telvane Control") + ": " + titleLines.first());
//   report.SetFont(font);                       // before adding bands: they take its font
//   TBand* header = report.AddBand(TBandKind::ColumnHeader);
//   TGroupBand* level = report.AddGroup(QStringLiteral("EXT_CODE"));
//   TBand* footer = level->AddFooter();
//   ...
//   report.Check();  // raises EExpressionError for the first malformed expression
//
// Group levels are added outermost first. Without rows the report prints nothing (no page
// at all) unless PrintIfEmpty is set.

#include "core/Errors.h"
#include "printing/ReportBand.h"

#include <QFont>
#include <QString>

#include <map>
#include <memory>
#include <vector>

class TRowSource;

// The page, in millimetres (A4 portrait with 10 mm margins by default).
struct TPageSetup {
    double Width = 210;
    double Height = 297;
    double LeftMargin = 10;
    double TopMargin = 10;
    double RightMargin = 10;
    double BottomMargin = 10;

    // The printable width and height between the margins.
    double ContentWidth() const { return Width - LeftMargin - RightMargin; }
    double ContentHeight() const { return Height - TopMargin - BottomMargin; }
};

class TReport {
public:
    explicit TReport(std::unique_ptr<TRowSource> source = nullptr);
    ~TReport();
    TReport(const TReport&) = delete;
    TReport& operator=(const TReport&) = delete;

    // Null when none is set; a report without a source has no rows.
    TRowSource* Source() const { return source_.get(); }
    void SetSource(std::unique_ptr<TRowSource> source);

    // The document's title (the print job's name and the PDF's title).
    const QString& Title() const { return title_; }
    void SetTitle(const QString& title) { title_ = title; }
    // The report's font; bands added afterwards start with it.
    const QFont& Font() const { return font_; }
    void SetFont(const QFont& font) { font_ = font; }

    const TPageSetup& Page() const { return page_; }
    TPageSetup& Page() { return page_; }
    void SetPage(const TPageSetup& page) { page_ = page; }

    bool PrintIfEmpty() const { return printIfEmpty_; }
    void SetPrintIfEmpty(bool on) { printIfEmpty_ = on; }

    // The band of a kind that occurs once (Title, PageHeader, ColumnHeader, Detail, Summary,
    // PageFooter); null when absent.
    TBand* Band(TBandKind kind) const;
    // Makes the band of that kind with the report's font, replacing any earlier one.
    // Raises EReportError for GroupHeader, GroupFooter and Child (see AddGroup, AddChild).
    TBand* AddBand(TBandKind kind);
    // Takes a band made elsewhere (a subclass) in the place of its kind.
    TBand* SetBand(std::unique_ptr<TBand> band);

    // Grouping levels, outermost first.
    const std::vector<std::unique_ptr<TGroupBand>>& Groups() const { return groups_; }
    // Adds a level inside the levels already added.
    TGroupBand* AddGroup(std::unique_ptr<TGroupBand> group);
    TGroupBand* AddGroup(const QString& expression);
    template <class T, class... Args>
    T* AddGroup(Args&&... args)
    {
        auto group = std::make_unique<T>(std::forward<Args>(args)...);
        T* result = group.get();
        AddGroup(std::unique_ptr<TGroupBand>(std::move(group)));
        return result;
    }

    // Parses every expression and finds every column the bands name. Raises
    // EExpressionError for a malformed expression or an unknown column, EReportError for a
    // band that cannot print (no source). Outputs check the same on their own; this is for
    // a builder that wants to fail early.
    void Check() const;

private:
    std::unique_ptr<TRowSource> source_;
    QString title_;
    QFont font_;
    TPageSetup page_;
    bool printIfEmpty_ = false;
    std::map<TBandKind, std::unique_ptr<TBand>> bands_;
    std::vector<std::unique_ptr<TGroupBand>> groups_;
};

// A report that cannot be laid out or output: a wrong band, a source that changed under it.
class EReportError : public Exception {
public:
    using Exception::Exception;
    QString ClassName() const override;
};
