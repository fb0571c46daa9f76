#pragma once
// The preview of a report: one page at a time with page navigation, zoom and the page
// count, and the actions "Print..." and "Save as PDF...". The first page shows at once;
// the other pages are laid out in slices while the window stays responsive, the count
// reading "Page 1 of 12+" until the last page is known.
//
//   TPreviewWindow preview(*report, &progress, this);  // raises EExpressionError, EReportError
//   preview.exec();
//
// The report and its rows must stay as they are while the window is open (a modal run is
// the simple way). Failures of printing and writing are shown in an error box; cancelling
// through the progress stops quietly.
//
// Objects for tests: actions actFirstPage, actPriorPage, actNextPage, actLastPage,
// actZoomIn, actZoomOut, actPrint, actSaveAsPdf, actClose; the combo box cmbZoom; the
// label lblPage; the page view pagePreview.

#include "printing/PageSequence.h"

#include <QDialog>

#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QScrollArea;
class QTimer;
class TPrintProgress;
class TReport;

class TPreviewWindow : public QDialog {
    Q_OBJECT

public:
    // The progress (optional, not owned) reports the laying out of pages and the outputs.
    TPreviewWindow(const TReport& report, TPrintProgress* progress, QWidget* parent = nullptr);
    ~TPreviewWindow() override;

    // Pages laid out so far, and whether that is all of them.
    int PageCount() const;
    bool LayoutComplete() const;
    // Lays out every page that is left, now.
    void FinishLayout();
    // How long one slice of the background layout may take before the window turns to its
    // events again (25 ms unless set).
    void SetLayoutSliceMs(int ms) { sliceMs_ = ms > 0 ? ms : 1; }
    // The page shown, 0-based; -1 for a report without pages.
    int CurrentPage() const { return current_; }
    void ShowPage(int index);

    // The zoom as a factor of the page's real size on a 96-dpi screen (1.0 = 100 %); 0 fits
    // the page's width to the window.
    double Zoom() const { return zoom_; }
    void SetZoom(double zoom);

    // Writes the PDF (what "Save as PDF..." does after asking for the name). Returns false
    // when cancelled or failed; a failure is shown in an error box.
    bool SaveAsPdf(const QString& fileName);

Q_SIGNALS:
    // Every page is laid out (or the layout stopped), with the number of pages.
    void LayoutFinished(int pageCount);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class TPageView;
    class TLayoutPause;

    void CreateActions();
    void LayOutSlice();
    void StopLayout();
    void UpdateControls();
    void RenderCurrentPage();
    double EffectiveZoom() const;
    void PrintReportToPrinter();
    void AskSaveAsPdf();

    const TReport& report_;
    TPrintProgress* progress_;
    TPageSequence pages_;
    int current_ = -1;
    double zoom_ = 1.0;
    bool layoutRunning_ = false;
    bool layoutStopped_ = false;
    bool inSlice_ = false;
    int sliceMs_ = 25;  // laying out pages between two turns of the event loop

    QTimer* layoutTimer_ = nullptr;
    TPageView* view_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QLabel* lblPage_ = nullptr;
    QComboBox* cmbZoom_ = nullptr;
    QAction* actFirstPage_ = nullptr;
    QAction* actPriorPage_ = nullptr;
    QAction* actNextPage_ = nullptr;
    QAction* actLastPage_ = nullptr;
    QAction* actZoomIn_ = nullptr;
    QAction* actZoomOut_ = nullptr;
    QAction* actPrint_ = nullptr;
    QAction* actSaveAsPdf_ = nullptr;
    QAction* actClose_ = nullptr;
};
