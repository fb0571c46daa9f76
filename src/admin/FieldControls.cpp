#include "admin/FieldControls.h"

#include "core/Errors.h"
#include "remote/RemoteDataSet.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>

TFieldLinks::TFieldLinks(QObject* parent) : QObject(parent) {}

bool TFieldLinks::Editing(const TField* field)
{
    const TDataSetState state = field->DataSet()->State();
    return state == TDataSetState::Edit || state == TDataSetState::Insert;
}

void TFieldLinks::Write(TField* field, const std::function<void()>& write)
{
    if (!Editing(field))
        return;
    try {
        write();
    } catch (const Exception&) {
        // Not a value of the field: the field keeps its value, and saving checks it.
    }
}

void TFieldLinks::Add(TField* field, std::function<void()> show)
{
    links_.push_back({field->DataSet(), show});
    Watch(field->DataSet());
    show();
}

void TFieldLinks::Watch(TRemoteDataSet* dataSet)
{
    for (const QPointer<TRemoteDataSet>& w : watched_)
        if (w == dataSet)
            return;
    watched_.emplace_back(dataSet);
    auto refresh = [this, dataSet] { Refresh(dataSet); };
    connect(dataSet, &TRemoteDataSet::CurrentRowChanged, this, refresh);
    connect(dataSet, &TRemoteDataSet::Reset, this, refresh);
    connect(dataSet, &TRemoteDataSet::RowsChanged, this, refresh);
    connect(dataSet, &TRemoteDataSet::RowsInserted, this, refresh);
    connect(dataSet, &TRemoteDataSet::RowsRemoved, this, refresh);
}

void TFieldLinks::Refresh(TRemoteDataSet* dataSet)
{
    if (showing_)
        return;
    showing_ = true;
    for (const TLink& link : links_)
        if (link.DataSet == dataSet)
            link.Show();
    showing_ = false;
}

namespace {

// The field's text of the current row; empty without one.
QString TextOf(const TField* field)
{
    const TRemoteDataSet* ds = field->DataSet();
    if (!ds->Active() || (ds->IsEmpty() && ds->State() != TDataSetState::Insert))
        return QString();
    return field->Text();
}

}  // namespace

void TFieldLinks::Edit(QLineEdit* edit, TField* field)
{
    if (field->Size() > 0)
        edit->setMaxLength(field->Size());
    connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
        showing_ = true;
        Write(field, [&] { field->SetText(text); });
        showing_ = false;
    });
    Add(field, [edit, field] {
        const QSignalBlocker quiet(edit);
        edit->setText(TextOf(field));
        edit->setCursorPosition(0);
    });
}

void TFieldLinks::Memo(QPlainTextEdit* memo, TField* field)
{
    connect(memo, &QPlainTextEdit::textChanged, this, [this, memo, field] {
        if (showing_)
            return;
        showing_ = true;
        Write(field, [&] { field->SetText(memo->toPlainText()); });
        showing_ = false;
    });
    Add(field, [this, memo, field] {
        const QString text = TextOf(field);
        if (memo->toPlainText() == text)
            return;
        const bool was = showing_;
        showing_ = true;
        memo->setPlainText(text);
        showing_ = was;
    });
}

void TFieldLinks::LookupCombo(QComboBox* combo, TField* keyField, TRemoteDataSet* source, bool allowNone)
{
    auto fill = [combo, source, allowNone] {
        const QSignalBlocker quiet(combo);
        combo->clear();
        if (allowNone)
            combo->addItem(QString(), QVariant());
        if (!source->Active())
            return;
        const TField* id = source->FieldByName(QStringLiteral("ID"));
        const TField* name = source->FieldByName(QStringLiteral("NAME"));
        for (int row = 0; row < source->RecordCount(); ++row)
            combo->addItem(source->TextAt(row, *name), source->ValueAt(row, *id));
    };
    auto show = [combo, keyField] {
        const QSignalBlocker quiet(combo);
        const QVariant key = TextOf(keyField).isEmpty() ? QVariant() : keyField->Value();
        const int none = combo->count() > 0 && !combo->itemData(0).isValid() ? 0 : -1;
        combo->setCurrentIndex(key.isValid() ? combo->findData(key) : none);
    };
    connect(source, &TRemoteDataSet::Reset, combo, [fill, show] {
        fill();
        show();
    });
    connect(source, &TRemoteDataSet::RowsChanged, combo, [fill, show] {
        fill();
        show();
    });
    fill();
    connect(combo, &QComboBox::activated, this, [this, combo, keyField](int index) {
        showing_ = true;
        Write(keyField, [&] { keyField->SetValue(combo->itemData(index)); });
        showing_ = false;
    });
    Add(keyField, show);
}

void TFieldLinks::TextCombo(QComboBox* combo, TField* field)
{
    connect(combo, &QComboBox::activated, this, [this, combo, field](int index) {
        showing_ = true;
        Write(field, [&] { field->SetText(combo->itemText(index)); });
        showing_ = false;
    });
    Add(field, [combo, field] {
        const QSignalBlocker quiet(combo);
        const QString text = TextOf(field);
        combo->setCurrentIndex(text.isEmpty() ? -1 : combo->findText(text, Qt::MatchFixedString));
    });
}
