#include "reportconfig/FrameArchiver.h"

#include "calls/ReportQuery.h"
#include "remote/Connections.h"
#include "reportconfig/FrameReportFilter.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kFilterFields = 19;  // cfCallId to cfText: the fields a detail filter can have

}  // namespace

TArchiverFrame::TArchiverFrame(QWidget* owner, QList<TReportFilterFrame*> detailFilters, TRemoteConnection& scReport)
    : TReportBaseFrame(owner), filters_(std::move(detailFilters)), scReport_(scReport)
{
    setObjectName(QStringLiteral("ArchiverFrame"));
    auto* layout = new QVBoxLayout(this);
    lblComment = new QLabel(tr("Archive comment"), this);
    lblComment->setObjectName(QStringLiteral("lblComment"));
    mmoComment = new QPlainTextEdit(this);
    mmoComment->setObjectName(QStringLiteral("mmoComment"));
    mmoComment->setMaximumHeight(80);
    lblComment->setBuddy(mmoComment);
    aCreateArchive = new QAction(tr("Create archive..."), this);
    aCreateArchive->setObjectName(QStringLiteral("aCreateArchive"));
    connect(aCreateArchive, &QAction::triggered, this, &TArchiverFrame::aCreateArchiveExecute);
    bitbtnArchive = new QPushButton(aCreateArchive->text(), this);
    bitbtnArchive->setObjectName(QStringLiteral("bitbtnArchive"));
    connect(bitbtnArchive, &QPushButton::clicked, aCreateArchive, &QAction::trigger);
    connect(aCreateArchive, &QAction::changed, bitbtnArchive,
            [this] { bitbtnArchive->setEnabled(aCreateArchive->isEnabled()); });
    lblFilters = new QLabel(tr("Review filters before creating the archive:"), this);
    lblFilters->setObjectName(QStringLiteral("lblFilters"));
    mmoFilters = new QPlainTextEdit(this);
    mmoFilters->setObjectName(QStringLiteral("mmoFilters"));
    mmoFilters->setReadOnly(true);
    lblWarning = new QLabel(tr("WARNING: Archived calls will be deleted from the database!"), this);
    lblWarning->setObjectName(QStringLiteral("lblWarning"));
    QFont bold = lblWarning->font();
    bold.setBold(true);
    lblWarning->setFont(bold);
    lblWarning->setStyleSheet(QStringLiteral("color: maroon"));
    layout->addWidget(lblComment);
    layout->addWidget(mmoComment);
    layout->addWidget(bitbtnArchive, 0, Qt::AlignLeft);
    layout->addWidget(lblFilters);
    layout->addWidget(mmoFilters, 1);
    layout->addWidget(lblWarning);
    connect(mmoComment, &QPlainTextEdit::textChanged, this, &TArchiverFrame::UpdateAction);
    UpdateAction();
}

void TArchiverFrame::UpdateAction()
{
    aCreateArchive->setEnabled(!mmoComment->toPlainText().trimmed().isEmpty());
    bitbtnArchive->setEnabled(aCreateArchive->isEnabled());
}

void TArchiverFrame::RefreshFilters()
{
    QString text;
    for (const TReportFilterFrame* filter : std::as_const(filters_)) {
        const QString line = filter->GetSummary();
        if (!line.isEmpty())
            text += line + QLatin1Char('\n');
    }
    mmoFilters->setPlainText(text);
}

void TArchiverFrame::aCreateArchiveExecute()
{
    QVariantList values;
    for (int k = 0; k < kFilterFields; ++k)
        values << QString();
    for (const TReportFilterFrame* filter : std::as_const(filters_)) {
        const int field = filter->FieldId();
        if (field >= 1 && field <= kFilterFields)
            values[field - 1] = filter->GetConditionValue();  // a later page of the field wins
    }
    TJoinSet joins;
    const TStringArray conditions = CollectConditions(filters_, joins);
    QVariantList joinFlags;
    for (int j = 0; j < JoinCount; ++j)
        joinFlags << joins.Contains(TJoinId(j));
    scReport_.AppServer().Call(dispid::ReportRDM::ArchiveCalls,
                               {mmoComment->toPlainText(), QVariant(values), QVariant(joinFlags),
                                conditions.join(QLatin1Char('|'))});
    mmoComment->clear();
}
