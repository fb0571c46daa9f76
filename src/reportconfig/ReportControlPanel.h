#pragma once
// The report window's control panel (pnlControl): it hosts the pages, shows one at a time,
// makes every page fill it, and keeps the pages' state lines in the settings file under
// "control_panels_<index>" in section "Report". The index is the page's position among all
// child widgets of the panel in the order they were created (the first, the empty panel,
// is 0); children that are not report pages are skipped but counted, so that an existing
// settings file still loads into the same pages. The order is recorded as the children are
// added, so raising a page or giving the panel a layout does not change it.

#include <QList>
#include <QPointer>
#include <QWidget>

class TIniFile32;
class TReportBaseFrame;

class TReportControlPanel : public QWidget {
    Q_OBJECT

public:
    static constexpr char Section[] = "Report";

    explicit TReportControlPanel(QWidget* parent = nullptr);

    // "control_panels_" and the index in decimal.
    static QString StateKey(int index);

    // The child widgets in creation order.
    QList<QWidget*> Pages() const;
    // The page's index, -1 for a widget that is not a child of the panel.
    int PageIndex(const QWidget* page) const;
    // The report pages among them, in the same order.
    QList<TReportBaseFrame*> Frames() const;

    // Writes every report page's SaveState under its key. Raises EInOutError when the
    // settings file cannot be written.
    void SaveStates(TIniFile32& settings) const;
    // Gives every report page, in order, the line under its key ("" when there is none).
    void LoadStates(const TIniFile32& settings) const;

    // Shows the page (filling the panel) and hides every other child; null hides all.
    void ShowPage(QWidget* page);
    QWidget* CurrentPage() const { return current_; }

protected:
    bool event(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    QList<QPointer<QWidget>> pages_;
    QPointer<QWidget> current_;
};
