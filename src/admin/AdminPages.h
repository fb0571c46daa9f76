#pragma once
// The record controllers of the administration tabs: one per tab, over the tab's dataset
// and controls. The window's actions pick the active tab's page and call it; the editing
// rules (browse or edit mode, new, edit, save, cancel, delete, print) live here once, and
// the subclasses differ only in their checks and error reports:
//   TAdminPage     limit plans (required columns checked)
//   TExtPinPage    extensions and PIN codes (a duplicate number is a warning; the server
//                  hears of every save, which starts limit periods)
//   TGroupPbxPage  groups and exchanges (a duplicate is a warning)
//   TSchemasPage   data formats (stored in canonical form, on one line)
//   TTariffsPage   tariff rules (checked and normalised by the server)
//
// SaveRow and DeleteRow never raise: failures are shown and logged as the subclasses say,
// and a row that could not be saved stays in edit mode with what the user typed.

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class Exception;
class TAdminDM;
class TFrameReportGrid;
class TRemoteDataSet;

struct TAdminPageSetup {
    TRemoteDataSet* DataSet = nullptr;
    QList<QWidget*> EditControls;
    QList<QWidget*> BrowseControls;
    QWidget* EditFocus = nullptr;
    QWidget* BrowseFocus = nullptr;
    QString DeleteQuestion;  // one "%1" for the row's NAME
    QString TableCaption;
    TFrameReportGrid* PrintGrid = nullptr;
    std::function<void(bool editing)> OnEditModeChanged;
    std::function<void()> BeforePost;  // raises to keep the row in edit mode
};

class TAdminPage {
public:
    // Ends in browse mode.
    explicit TAdminPage(TAdminPageSetup setup);
    virtual ~TAdminPage();
    TAdminPage(const TAdminPage&) = delete;
    TAdminPage& operator=(const TAdminPage&) = delete;

    TRemoteDataSet* DataSet() const { return setup_.DataSet; }
    const QString& TableCaption() const { return setup_.TableCaption; }

    void NewRow();
    void EditRow();
    // Checks, writes and applies the row; false when it stays in edit mode.
    bool SaveRow();
    void CancelEdit();
    // After the user's confirmation; false when nothing was deleted.
    bool DeleteRow();
    bool IsEditing() const;

    virtual void Print();

protected:
    virtual bool ValidateBeforeSave();
    virtual void AfterSave() {}
    virtual bool ConfirmDelete();
    virtual void ReportSaveError(const Exception& e);
    virtual void ReportDeleteError(const Exception& e);
    virtual void SetEditMode(bool editing);

    // "Please, fill in A, B and C." for the required fields without a value.
    bool CheckRequired() const;
    // A key violation is shown as "Such a record already exists.".
    static bool ReportedAsDuplicate(const Exception& e);

private:
    TAdminPageSetup setup_;
};

class TExtPinPage : public TAdminPage {
public:
    TExtPinPage(TAdminPageSetup setup, TAdminDM& dm);

protected:
    void AfterSave() override;
    void ReportSaveError(const Exception& e) override;
    void ReportDeleteError(const Exception& e) override;

private:
    TAdminDM& dm_;
};

class TGroupPbxPage : public TAdminPage {
public:
    using TAdminPage::TAdminPage;

protected:
    void ReportSaveError(const Exception& e) override;
    void ReportDeleteError(const Exception& e) override;
};

class TSchemasPage : public TAdminPage {
public:
    using TAdminPage::TAdminPage;

    // The stored form of a format as typed: every line break removed (CR LF, and a lone
    // CR or LF too, so no line break is left inside a literal), parsed and printed back
    // canonically; empty when it is no valid format.
    static QString CanonicalFormat(const QString& typed);

protected:
    bool ValidateBeforeSave() override;
};

class TTariffsPage : public TAdminPage {
public:
    TTariffsPage(TAdminPageSetup setup, TAdminDM& dm);

protected:
    bool ValidateBeforeSave() override;

private:
    TAdminDM& dm_;
};
