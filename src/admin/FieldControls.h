#pragma once
// Edit controls bound to a field of a dataset: they show the field of the current row
// (text handlers included) and, while the dataset is being edited, write what the user
// types or picks straight into the field, so nothing waits in a control when the row is
// saved. A lookup combo lists a source dataset's NAME and writes the chosen row's ID.
//
//   auto* links = new TFieldLinks(this);
//   links->Edit(edtGroupName, cdsGroups.FieldByName("NAME"));
//   links->LookupCombo(cmbExtensionPBX, cdsExtension.FieldByName("PBX_ID"), &cdsPbx);
//   links->TextCombo(cmbResetInterval, cdsLimitPlan.FieldByName("RESET_INTERVAL"));
//
// A value the field refuses (a number that does not read) leaves the field as it was; the
// control shows the field again when the row changes. Never raises.

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class TField;
class TRemoteDataSet;

class TFieldLinks : public QObject {
    Q_OBJECT

public:
    explicit TFieldLinks(QObject* parent = nullptr);

    void Edit(QLineEdit* edit, TField* field);
    void Memo(QPlainTextEdit* memo, TField* field);
    // Items are the source's NAME values in its order, each with its ID; with allowNone an
    // empty first item stands for "none" (null).
    void LookupCombo(QComboBox* combo, TField* keyField, TRemoteDataSet* source, bool allowNone = false);
    // Items as the caller filled them; the field's text selects one, the picked item's
    // text is the field's new text.
    void TextCombo(QComboBox* combo, TField* field);

    // Shows every bound field of the dataset's current row again.
    void Refresh(TRemoteDataSet* dataSet);

private:
    struct TLink {
        TRemoteDataSet* DataSet;
        std::function<void()> Show;
    };
    void Add(TField* field, std::function<void()> show);
    void Watch(TRemoteDataSet* dataSet);
    static bool Editing(const TField* field);
    static void Write(TField* field, const std::function<void()>& write);

    std::vector<TLink> links_;
    std::vector<QPointer<TRemoteDataSet>> watched_;
    bool showing_ = false;
};
