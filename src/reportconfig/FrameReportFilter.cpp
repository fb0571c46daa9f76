#include "reportconfig/FrameReportFilter.h"

TReportFilterFrame::TReportFilterFrame(QWidget* owner, TCallFieldId fieldId)
    : TReportBaseFrame(owner), fieldId_(fieldId)
{
}

void TReportFilterFrame::SetFieldId(TCallFieldId fieldId)
{
    fieldId_ = fieldId;
}

bool TReportFilterFrame::SelectsNothing() const
{
    return false;
}

QString TReportFilterFrame::GetSQLCondition() const
{
    return IsFilterOn() ? Descriptor().BuildCondition(GetConditionValue()) : QString();
}

TJoinSet TReportFilterFrame::GetRequiredJoins() const
{
    return {};
}

QString TReportFilterFrame::GetSummary() const
{
    return IsFilterOn() ? Descriptor().BuildSummary(GetConditionValue()) : QString();
}
