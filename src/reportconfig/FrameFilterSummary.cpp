#include "reportconfig/FrameFilterSummary.h"

#include "reportconfig/FrameReportFilter.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

TStringArray FilterSummaryLines(const QList<TReportFilterFrame*>& filters)
{
    TStringArray lines;
    for (const TReportFilterFrame* filter : filters) {
        const QString line = filter->GetSummary();
        if (!line.isEmpty())
            lines.append(line);
    }
    return lines;
}

TFilterSummaryFrame::TFilterSummaryFrame(QWidget* owner, QList<TReportFilterFrame*> detailFilters,
                                         QList<TReportFilterFrame*> totalFilters)
    : TReportBaseFrame(owner),
      detailFilters_(std::move(detailFilters)),
      totalFilters_(std::move(totalFilters))
{
    auto* lblFilters = new QLabel(tr("Filters summary:"), this);
    lblFilters->setObjectName(QStringLiteral("lblFilters"));
    mmoFilters = new QPlainTextEdit(this);
    mmoFilters->setObjectName(QStringLiteral("mmoFilters"));
    mmoFilters->setReadOnly(true);
    mmoFilters->setLineWrapMode(QPlainTextEdit::NoWrap);
    lblFilters->setBuddy(mmoFilters);
    auto* lblChangeFilters =
        new QLabel(tr("To change a filter select it from the tree on the left. To switch to "
                      "simple mode collapse the \"Filters\" branch."),
                   this);
    lblChangeFilters->setObjectName(QStringLiteral("lblChangeFilters"));
    lblChangeFilters->setWordWrap(true);
    auto* page = new QVBoxLayout(this);
    page->addWidget(lblFilters);
    page->addWidget(mmoFilters, 1);
    page->addWidget(lblChangeFilters);
}

void TFilterSummaryFrame::RefreshSummary()
{
    QString text;
    for (const QString& line : FilterSummaryLines(detailFilters_) + FilterSummaryLines(totalFilters_))
        text += line + QLatin1Char('\n');
    mmoFilters->setPlainText(text);
}

QString TFilterSummaryFrame::SummaryText() const
{
    return mmoFilters->toPlainText();
}
