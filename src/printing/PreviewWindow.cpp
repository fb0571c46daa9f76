#include "printing/PreviewWindow.h"

#include "printing/PagePainter.h"
#include "printing/PrintProgress.h"
#include "printing/ReportWriter.h"
#include "widgets/MessageBoxes.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>
#include <cmath>

namespace {

// Zoom steps of the combo box and of zooming in and out; 0 stands for the page's width.
constexpr std::array<double, 8> ZoomSteps = {0, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0};
constexpr int PageMarginPx = 16;  // grey around the page

}  // namespace

// The page on a grey desk, with a shadow.
class TPreviewWindow::TPageView : public QWidget {
public:
    explicit TPageView(QWidget* parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("pageView"));
        setAutoFillBackground(false);
    }

    void SetImage(QImage image)
    {
        image_ = std::move(image);
        const QSize size =
            (image_.deviceIndependentSize().toSize()) + QSize(2 * PageMarginPx, 2 * PageMarginPx);
        setMinimumSize(size);
        updateGeometry();
        update();
    }
    bool HasImage() const { return !image_.isNull(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0x80, 0x80, 0x80));
        if (image_.isNull())
            return;
        const QSizeF size = image_.deviceIndependentSize();
        const QPointF at((width() - size.width()) / 2, PageMarginPx);
        painter.fillRect(QRectF(at + QPointF(3, 3), size), QColor(0x50, 0x50, 0x50));
        painter.drawImage(at, image_);
    }

private:
    QImage image_;
};

TPreviewWindow::TPreviewWindow(const TReport& report, TPrintProgress* progress, QWidget* parent)
    : QDialog(parent), report_(report), progress_(progress), pages_(report)
{
    setObjectName(QStringLiteral("TPreviewWindow"));
    setWindowTitle(tr("Preview") +
                   (report.Title().isEmpty() ? QString() : QStringLiteral(": ") + report.Title()));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* toolBar = new QToolBar(this);
    toolBar->setObjectName(QStringLiteral("tbPreview"));
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    layout->addWidget(toolBar);

    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("pagePreview"));
    scroll_->setWidgetResizable(true);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);  // fitting the width must not change it
    scroll_->setFrameShape(QFrame::NoFrame);
    view_ = new TPageView(scroll_);
    scroll_->setWidget(view_);
    scroll_->viewport()->installEventFilter(this);
    layout->addWidget(scroll_, 1);

    lblPage_ = new QLabel(this);
    lblPage_->setObjectName(QStringLiteral("lblPage"));
    lblPage_->setMinimumWidth(fontMetrics().horizontalAdvance(tr("Page %1 of %2+").arg(99999).arg(99999)));
    lblPage_->setAlignment(Qt::AlignCenter);
    cmbZoom_ = new QComboBox(this);
    cmbZoom_->setObjectName(QStringLiteral("cmbZoom"));
    for (double step : ZoomSteps)
        cmbZoom_->addItem(step == 0 ? tr("Page width") : QStringLiteral("%1 %").arg(std::lround(step * 100)),
                          step);
    CreateActions();

    toolBar->addAction(actFirstPage_);
    toolBar->addAction(actPriorPage_);
    toolBar->addWidget(lblPage_);
    toolBar->addAction(actNextPage_);
    toolBar->addAction(actLastPage_);
    toolBar->addSeparator();
    toolBar->addAction(actZoomOut_);
    toolBar->addWidget(cmbZoom_);
    toolBar->addAction(actZoomIn_);
    toolBar->addSeparator();
    toolBar->addAction(actPrint_);
    toolBar->addAction(actSaveAsPdf_);
    toolBar->addSeparator();
    toolBar->addAction(actClose_);
    for (QAction* action : {actFirstPage_, actPriorPage_, actNextPage_, actLastPage_})
        if (auto* button = qobject_cast<QToolButton*>(toolBar->widgetForAction(action)))
            button->setToolButtonStyle(Qt::ToolButtonIconOnly);

    connect(cmbZoom_, &QComboBox::activated, this,
            [this](int index) { SetZoom(cmbZoom_->itemData(index).toDouble()); });

    // A window of a page's width at 100 %, as tall as the screen allows.
    const QRect screen = (parent ? parent->screen() : QGuiApplication::primaryScreen())->availableGeometry();
    resize(std::min(screen.width(), 900), std::min(screen.height(), 1000));

    layoutTimer_ = new QTimer(this);
    layoutTimer_->setInterval(0);
    connect(layoutTimer_, &QTimer::timeout, this, &TPreviewWindow::LayOutSlice);

    zoom_ = 0;  // the page's width
    cmbZoom_->setCurrentIndex(0);
    if (pages_.Page(0))
        current_ = 0;
    if (!pages_.Complete()) {
        layoutRunning_ = true;
        if (progress_)
            progress_->Begin(tr("Laying out pages..."), pages_.Paginator().RowCount());
        layoutTimer_->start();
    }
    UpdateControls();
    RenderCurrentPage();
}

TPreviewWindow::~TPreviewWindow()
{
    if (layoutRunning_ && progress_)
        progress_->End();
}

void TPreviewWindow::CreateActions()
{
    const auto make = [this](QAction*& action, const char* name, const QString& text, const QIcon& icon,
                             const QKeySequence& shortcut, auto slot) {
        action = new QAction(icon, text, this);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(shortcut);
        action->setToolTip(shortcut.isEmpty() ? text
                                              : QStringLiteral("%1 (%2)").arg(
                                                    text, shortcut.toString(QKeySequence::NativeText)));
        addAction(action);
        connect(action, &QAction::triggered, this, slot);
    };
    make(actFirstPage_, "actFirstPage", tr("First page"), style()->standardIcon(QStyle::SP_MediaSkipBackward),
         QKeySequence(Qt::CTRL | Qt::Key_Home), [this] { ShowPage(0); });
    make(actPriorPage_, "actPriorPage", tr("Previous page"),
         style()->standardIcon(QStyle::SP_MediaSeekBackward), QKeySequence(Qt::Key_PageUp),
         [this] { ShowPage(current_ - 1); });
    make(actNextPage_, "actNextPage", tr("Next page"), style()->standardIcon(QStyle::SP_MediaSeekForward),
         QKeySequence(Qt::Key_PageDown), [this] { ShowPage(current_ + 1); });
    make(actLastPage_, "actLastPage", tr("Last page"), style()->standardIcon(QStyle::SP_MediaSkipForward),
         QKeySequence(Qt::CTRL | Qt::Key_End), [this] {
             FinishLayout();
             ShowPage(PageCount() - 1);
         });
    make(actZoomIn_, "actZoomIn", tr("Zoom in"), QIcon(), QKeySequence::ZoomIn, [this] {
        const double now = EffectiveZoom();
        for (double step : ZoomSteps)
            if (step > now + 0.01) {
                SetZoom(step);
                return;
            }
    });
    make(actZoomOut_, "actZoomOut", tr("Zoom out"), QIcon(), QKeySequence::ZoomOut, [this] {
        const double now = EffectiveZoom();
        for (auto step = ZoomSteps.rbegin(); step != ZoomSteps.rend(); ++step)
            if (*step > 0 && *step < now - 0.01) {
                SetZoom(*step);
                return;
            }
    });
    make(actPrint_, "actPrint", tr("Print..."), QIcon(), QKeySequence::Print,
         [this] { PrintReportToPrinter(); });
    make(actSaveAsPdf_, "actSaveAsPdf", tr("Save as PDF..."),
         style()->standardIcon(QStyle::SP_DialogSaveButton), QKeySequence::Save, [this] { AskSaveAsPdf(); });
    make(actClose_, "actClose", tr("Close"), style()->standardIcon(QStyle::SP_DialogCloseButton),
         QKeySequence(), [this] { reject(); });
}

int TPreviewWindow::PageCount() const
{
    return pages_.Count();
}

bool TPreviewWindow::LayoutComplete() const
{
    return pages_.Complete();
}

void TPreviewWindow::LayOutSlice()
{
    if (inSlice_ || !layoutRunning_)
        return;
    inSlice_ = true;
    try {
        const bool done = pages_.LayOutFor(sliceMs_);
        if (!done && progress_ && !progress_->Advance(pages_.Paginator().RowsDone()))
            layoutStopped_ = true;
        inSlice_ = false;
        if (done || layoutStopped_)
            StopLayout();
    } catch (const Exception& e) {
        inSlice_ = false;
        layoutStopped_ = true;
        StopLayout();
        ShowError(e.Message());
    }
    UpdateControls();
}

void TPreviewWindow::StopLayout()
{
    if (!layoutRunning_)
        return;
    layoutRunning_ = false;
    layoutTimer_->stop();
    if (progress_)
        progress_->End();
    UpdateControls();
    Q_EMIT LayoutFinished(PageCount());
}

void TPreviewWindow::FinishLayout()
{
    if (!layoutRunning_)
        return;
    try {
        while (!pages_.LayOutFor(sliceMs_))
            if (progress_ && !progress_->Advance(pages_.Paginator().RowsDone())) {
                layoutStopped_ = true;
                break;
            }
    } catch (const Exception& e) {
        layoutStopped_ = true;
        StopLayout();
        ShowError(e.Message());
        return;
    }
    StopLayout();
}

void TPreviewWindow::ShowPage(int index)
{
    if (index < 0)
        return;
    try {
        if (!pages_.Page(index))
            return;
    } catch (const Exception& e) {
        ShowError(e.Message());
        return;
    }
    current_ = index;
    UpdateControls();
    RenderCurrentPage();
    scroll_->verticalScrollBar()->setValue(0);
}

void TPreviewWindow::SetZoom(double zoom)
{
    zoom_ = zoom;
    const int index = cmbZoom_->findData(zoom);
    if (index >= 0)
        cmbZoom_->setCurrentIndex(index);
    else
        cmbZoom_->setEditText(QStringLiteral("%1 %").arg(std::lround(zoom * 100)));
    RenderCurrentPage();
}

bool TPreviewWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The page's width follows the view's.
    if (watched == scroll_->viewport() && event->type() == QEvent::Resize && zoom_ == 0)
        RenderCurrentPage();
    return QDialog::eventFilter(watched, event);
}

// The zoom in effect: the page's width fills the view when zoom_ is 0.
double TPreviewWindow::EffectiveZoom() const
{
    if (zoom_ > 0)
        return zoom_;
    const double pageWidthPx = report_.Page().Width / 25.4 * 96;
    const int room =
        scroll_->viewport()->width() - 2 * PageMarginPx - scroll_->verticalScrollBar()->sizeHint().width();
    return std::max(0.25, room / pageWidthPx);
}

void TPreviewWindow::UpdateControls()
{
    const int count = PageCount();
    const bool complete = LayoutComplete();
    if (count == 0)
        lblPage_->setText(layoutRunning_ ? tr("Laying out...") : tr("No pages"));
    else if (complete)
        lblPage_->setText(tr("Page %1 of %2").arg(current_ + 1).arg(count));
    else
        lblPage_->setText(tr("Page %1 of %2+").arg(current_ + 1).arg(count));
    actFirstPage_->setEnabled(current_ > 0);
    actPriorPage_->setEnabled(current_ > 0);
    actNextPage_->setEnabled(current_ >= 0 && (current_ + 1 < count || !complete));
    actLastPage_->setEnabled(current_ >= 0 && (current_ + 1 < count || !complete));
    actPrint_->setEnabled(count > 0);
    actSaveAsPdf_->setEnabled(count > 0);
}

void TPreviewWindow::RenderCurrentPage()
{
    const int count = PageCount();
    const TPage* page = current_ >= 0 && current_ < count ? pages_.Page(current_) : nullptr;
    if (!page) {
        view_->SetImage(QImage());
        return;
    }
    const double ratio = devicePixelRatioF();
    QImage image = RenderPage(pages_.Paginator(), *page, 96 * EffectiveZoom() * ratio);
    image.setDevicePixelRatio(ratio);
    view_->SetImage(std::move(image));
}

// Outputs lay the report out on their own; the preview's own laying out waits meanwhile,
// so that the progress reports one piece of work at a time.
class TPreviewWindow::TLayoutPause {
public:
    explicit TLayoutPause(TPreviewWindow& window) : window_(window), running_(window.layoutRunning_)
    {
        if (!running_)
            return;
        window_.layoutTimer_->stop();
        if (window_.progress_)
            window_.progress_->End();
    }
    ~TLayoutPause()
    {
        if (!running_)
            return;
        if (window_.progress_)
            window_.progress_->Begin(tr("Laying out pages..."), window_.pages_.Paginator().RowCount());
        window_.layoutTimer_->start();
    }

private:
    TPreviewWindow& window_;
    bool running_;
};

void TPreviewWindow::PrintReportToPrinter()
{
    TLayoutPause pause(*this);
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(report_.Title());
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName(QStringLiteral("dlgPrint"));
    dialog.setMinMax(1, LayoutComplete() ? PageCount() : 9999);
    if (dialog.exec() != QDialog::Accepted)
        return;
    try {
        PrintReport(report_, printer, progress_);
    } catch (const Exception& e) {
        ShowError(e.Message());
    }
}

void TPreviewWindow::AskSaveAsPdf()
{
    QString name = report_.Title();
    name.replace(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|]")), QStringLiteral(" "));
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QString fileName = QFileDialog::getSaveFileName(
        this, tr("Save as PDF"),
        folder + QLatin1Char('/') + (name.trimmed().isEmpty() ? tr("report") : name.trimmed()) +
            QStringLiteral(".pdf"),
        tr("PDF files (*.pdf)"));
    if (fileName.isEmpty())
        return;
    if (!fileName.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        fileName += QStringLiteral(".pdf");
    SaveAsPdf(fileName);
}

bool TPreviewWindow::SaveAsPdf(const QString& fileName)
{
    TLayoutPause pause(*this);
    try {
        return WritePdf(report_, fileName, progress_);
    } catch (const Exception& e) {
        ShowError(e.Message());
        return false;
    }
}
