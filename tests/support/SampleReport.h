#pragma once
// A grouped call report as a report window lays it out, for output tests, the preview
// screenshot and the printing benchmark: title lines on the first page, a boxed column
// header, two grouping levels (exchange, extension) on grey bands with their totals, the
// rows between side lines, a summary and page numbers.
//
//   auto calls = SampleCalls(2000);
//   auto report = SampleReport(*calls, {"Calls by extension", "1 May 2024 - 31 May 2024"});

#include "printing/Report.h"
#include "printing/RowSource.h"
#include "remote/Field.h"
#include "remote/RemoteDataSet.h"

#include <QStringList>

#include <memory>

inline std::unique_ptr<TReport> SampleReport(TRemoteDataSet& calls, const QStringList& titleLines,
                                             bool pageNumbers = true)
{
    auto report = std::make_unique<TReport>(std::make_unique<TDataSetRowSource>(&calls));
    report->SetTitle(QStringLiteral("Telvane Control: ") + titleLines.value(0));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(8);
    report->SetFont(font);
    TPageSetup& page = report->Page();
    if (pageNumbers)
        page.BottomMargin = 5;
    const double size = font.pointSizeF();
    const double lineHeight = 0.5292 * size;
    const auto withSize = [&font](double increase, bool bold) {
        QFont f = font;
        f.setPointSizeF(font.pointSizeF() + increase);
        f.setBold(bold);
        return f;
    };

    TBand* title = report->AddBand(TBandKind::Title);
    title->SetFont(withSize(4, true));
    title->SetFrame(TFrameLines::Box());
    title->SetHeight(titleLines.size() * (size + 4) / 2 + 2);
    for (int i = 0; i < titleLines.size(); ++i) {
        auto* line = title->Add<TLabelElement>(titleLines[i]);
        line->SetGeometry(0, 1 + i * (size + 4) / 2, 0, (size + 4) / 2);
        line->SetAlignToBand(true);
        line->SetAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        if (i > 0)
            line->SetFont(withSize(2, false));
    }
    title->AddChild(1);

    // Columns: the grouped ones print in their headers.
    struct TColumn {
        QString Name;
        double Width;
    };
    const QStringList names = {QStringLiteral("EXT_NAME"), QStringLiteral("PHONE"),
                               QStringLiteral("DURATION"), QStringLiteral("RAW_CHARGE")};
    int characters = 0;
    for (const QString& name : names)
        characters += calls.FieldByName(name)->DisplayWidth();
    const double unit = page.ContentWidth() / characters;

    TBand* header = report->AddBand(TBandKind::ColumnHeader);
    header->SetFont(withSize(1, true));
    header->SetHeight(0.5292 * (size + 2));
    header->SetFrame(TFrameLines::Box());
    header->AddChild(1);
    TBand* detail = report->AddBand(TBandKind::Detail);
    detail->SetHeight(lineHeight);
    detail->SetFrame(TFrameLines::Sides());
    double left = 0;
    for (int i = 0; i < names.size(); ++i) {
        const TField* field = calls.FieldByName(names[i]);
        const double width = field->DisplayWidth() * unit;
        const bool last = i + 1 == names.size();
        const Qt::Alignment alignment = (field->Alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter;
        auto* caption = header->Add<TLabelElement>(field->DisplayLabel());
        caption->SetGeometry(left, 0, last ? width : width - 2);
        caption->SetAlignment(alignment);
        auto* text = detail->Add<TFieldElement>(field->FieldName());
        text->SetGeometry(left, 0, last ? width : width - 2);
        text->SetAlignment(alignment);
        if (!last) {
            header->Add<TVerticalLineElement>()->SetGeometry(left + width - 2, 0, 2);
            detail->Add<TVerticalLineElement>()->SetGeometry(left + width - 2, 0, 2);
        }
        left += width;
    }

    const QString totals =
        QStringLiteral("'Totals: '+SUM(1)+' calls; '+SUM(DURATION)+' s; charge '+SUM(RAW_CHARGE)");
    const QStringList groupExpressions = {QStringLiteral("PBX_NAME"), QStringLiteral("EXT_CODE")};
    const QStringList headerTexts = {QStringLiteral("'Exchange '+PBX_NAME"),
                                     QStringLiteral("'Extension '+EXT_CODE+', \"'+EXT_NAME+'\"'")};
    TGroupBand* outer = nullptr;
    TGroupBand* inner = nullptr;
    for (int level = 0; level < 2; ++level) {
        const int increase = 2 - level;
        const int grey = 255 - 17 * increase;
        TGroupBand* group = report->AddGroup(groupExpressions[level]);
        group->SetFont(withSize(increase, true));
        group->SetBackground(QColor(grey, grey, grey));
        group->SetHeight(0.5292 * (size + increase));
        group->SetFrame(TFrameLines::Box());
        auto* caption = group->Add<TExpressionElement>(headerTexts[level]);
        caption->SetGeometry(0, 0, page.ContentWidth());
        TBand* footer = group->AddFooter();
        footer->SetFont(withSize(increase, false));
        footer->SetBackground(QColor(grey, grey, grey));
        footer->SetHeight(0.5292 * (size + increase));
        footer->SetFrame(TFrameLines::Box());
        auto* sums = footer->Add<TExpressionElement>(totals);
        sums->SetGeometry(0, 0, page.ContentWidth());
        sums->SetResetAfterPrint(true);
        footer->AddChild(size * size / 100);
        (level == 0 ? outer : inner) = group;
    }
    outer->SetLink(inner);
    inner->SetLink(detail);
    detail->SetLink(inner->Footer());

    TBand* summary = report->AddBand(TBandKind::Summary);
    summary->SetFont(withSize(3, true));
    summary->SetHeight(0.5292 * (size + 3));
    summary->SetFrame(TFrameLines::Box());
    auto* grand = summary->Add<TExpressionElement>(totals);
    grand->SetGeometry(0, 0, page.ContentWidth());

    if (pageNumbers) {
        TBand* footer = report->AddBand(TBandKind::PageFooter);
        footer->SetHeight(6);
        QFont small = font;
        small.setPointSizeF(8);
        footer->SetFont(small);
        auto* number = footer->Add<TPageNumberElement>(QStringLiteral("Page %1"));
        number->SetAlignToBand(true);
        number->SetAlignment(Qt::AlignCenter);
    }
    return report;
}
