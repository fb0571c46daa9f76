#include "reportconfig/ReportControlPanel.h"

#include "shell/base/ClientLogs.h"
#include "reportconfig/FrameReportBase.h"
#include "shell/base/IniFiles32.h"

#include <QChildEvent>
#include <QCoreApplication>

TReportControlPanel::TReportControlPanel(QWidget* parent) : QWidget(parent) {}

QString TReportControlPanel::StateKey(int index)
{
    return QStringLiteral("%1_%2").arg(QStringLiteral("control_panels")).arg(index);
}

QList<QWidget*> TReportControlPanel::Pages() const
{
    QList<QWidget*> pages;
    for (const QPointer<QWidget>& page : pages_)
        if (page)
            pages.append(page);
    return pages;
}

int TReportControlPanel::PageIndex(const QWidget* page) const
{
    return page ? static_cast<int>(Pages().indexOf(const_cast<QWidget*>(page))) : -1;
}

QList<TReportBaseFrame*> TReportControlPanel::Frames() const
{
    QList<TReportBaseFrame*> frames;
    for (QWidget* page : Pages())
        if (auto* frame = qobject_cast<TReportBaseFrame*>(page))
            frames.append(frame);
    return frames;
}

void TReportControlPanel::SaveStates(TIniFile32& settings) const
{
    const QString section = QLatin1String(Section);
    const QList<QWidget*> pages = Pages();
    for (int i = 0; i < pages.size(); ++i) {
        const auto* frame = qobject_cast<const TReportBaseFrame*>(pages.at(i));
        if (!frame)
            continue;
        QString line = frame->SaveState();
        // A line break would split the settings file's line and lose the rest of the state.
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n'))) {
            ClientLogs().Reports().Add(
                QCoreApplication::translate("TReportControlPanel",
                                            "TReportControlPanel: Line break in the state of page %1.")
                    .arg(i),
                4);
            line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        }
        settings.WriteString(section, StateKey(i), line);
    }
}

void TReportControlPanel::LoadStates(const TIniFile32& settings) const
{
    const QString section = QLatin1String(Section);
    const QList<QWidget*> pages = Pages();
    for (int i = 0; i < pages.size(); ++i)
        if (auto* frame = qobject_cast<TReportBaseFrame*>(pages.at(i)))
            frame->LoadState(settings.ReadString(section, StateKey(i), QString()));
}

void TReportControlPanel::ShowPage(QWidget* page)
{
    current_ = page;
    for (QWidget* child : Pages()) {
        if (child == page) {
            child->setGeometry(rect());
            child->show();
        } else {
            child->hide();
        }
    }
}

bool TReportControlPanel::event(QEvent* e)
{
    if (e->type() == QEvent::ChildAdded || e->type() == QEvent::ChildRemoved) {
        QObject* child = static_cast<QChildEvent*>(e)->child();
        // Widgets only: a layout or another helper object is no page.
        if (child->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(child);
            pages_.removeAll(widget);
            if (e->type() == QEvent::ChildAdded)
                pages_.append(widget);
        }
    } else if (e->type() == QEvent::ChildPolished) {
        if (auto* widget = qobject_cast<QWidget*>(static_cast<QChildEvent*>(e)->child()))
            widget->setGeometry(rect());
    }
    return QWidget::event(e);
}

void TReportControlPanel::resizeEvent(QResizeEvent* e)
{
    for (QWidget* page : Pages())
        page->setGeometry(rect());
    QWidget::resizeEvent(e);
}
