#include "reportconfig/FrameReportBase.h"

TReportBaseFrame::TReportBaseFrame(QWidget* owner) : QFrame(owner)
{
    setObjectName(QString());
    QFont pageFont(QStringLiteral("Tahoma"));
    pageFont.setPixelSize(13);
    setFont(pageFont);
    setFocusPolicy(Qt::StrongFocus);
}
