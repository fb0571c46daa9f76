#include "printing/Report.h"

#include "printing/Paginator.h"
#include "printing/RowSource.h"

#include <QCoreApplication>

TReport::TReport(std::unique_ptr<TRowSource> source) : source_(std::move(source)) {}

TReport::~TReport() = default;

void TReport::SetSource(std::unique_ptr<TRowSource> source)
{
    source_ = std::move(source);
}

TBand* TReport::Band(TBandKind kind) const
{
    const auto it = bands_.find(kind);
    return it == bands_.end() ? nullptr : it->second.get();
}

TBand* TReport::AddBand(TBandKind kind)
{
    return SetBand(std::make_unique<TBand>(kind, font_));
}

TBand* TReport::SetBand(std::unique_ptr<TBand> band)
{
    const TBandKind kind = band->Kind();
    if (kind == TBandKind::GroupHeader || kind == TBandKind::GroupFooter || kind == TBandKind::Child)
        throw EReportError(QCoreApplication::translate("TReport",
                                                       "TReport: a group or child band belongs to its "
                                                       "group or parent band, not to the report."));
    auto& slot = bands_[kind];
    slot = std::move(band);
    return slot.get();
}

TGroupBand* TReport::AddGroup(std::unique_ptr<TGroupBand> group)
{
    groups_.push_back(std::move(group));
    return groups_.back().get();
}

TGroupBand* TReport::AddGroup(const QString& expression)
{
    return AddGroup(std::make_unique<TGroupBand>(font_, expression));
}

void TReport::Check() const
{
    TPaginator check(*this);
}

QString EReportError::ClassName() const
{
    return QStringLiteral("EReportError");
}
