#include "printing/RowSource.h"

#include "remote/DataSetModel.h"
#include "remote/Field.h"
#include "remote/RemoteDataSet.h"

#include <QAbstractItemModel>

TRowSource::~TRowSource() = default;

Qt::Alignment TRowSource::ColumnAlignment(int) const
{
    return Qt::AlignLeft;
}

bool TRowSource::Changed() const
{
    return false;
}

int TRowSource::FindColumn(const QString& name) const
{
    const int count = ColumnCount();
    for (int column = 0; column < count; ++column)
        if (ColumnName(column).compare(name, Qt::CaseInsensitive) == 0)
            return column;
    return -1;
}

// Notes whether rows were added, removed or edited. A reset alone is no change of rows: a
// column shown or hidden resets the views too, and builders hide grouped columns while
// they build; a reset that changes the row count shows in the count.
class TRowWatch : public QObject {
public:
    explicit TRowWatch(int rows) : rows_(rows) {}
    void Mark() { changed_ = true; }
    bool ChangedFrom(int rows) const { return changed_ || rows != rows_; }

private:
    int rows_;
    bool changed_ = false;
};

TDataSetRowSource::TDataSetRowSource(TRemoteDataSet* dataSet)
    : dataSet_(dataSet), watch_(std::make_unique<TRowWatch>(dataSet ? dataSet->RecordCount() : 0))
{
    if (!dataSet)
        return;
    TRowWatch* watch = watch_.get();
    const auto mark = [watch] { watch->Mark(); };
    QObject::connect(dataSet, &TRemoteDataSet::RowsInserted, watch, mark);
    QObject::connect(dataSet, &TRemoteDataSet::RowsRemoved, watch, mark);
    QObject::connect(dataSet, &TRemoteDataSet::RowsChanged, watch, mark);
}

TDataSetRowSource::~TDataSetRowSource() = default;

TRemoteDataSet* TDataSetRowSource::DataSet() const
{
    return dataSet_;
}

QString TDataSetRowSource::Name() const
{
    return dataSet_ ? dataSet_->objectName() : QString();
}

int TDataSetRowSource::RowCount() const
{
    return dataSet_ && dataSet_->Active() ? dataSet_->RecordCount() : 0;
}

int TDataSetRowSource::ColumnCount() const
{
    return dataSet_ ? dataSet_->FieldCount() : 0;
}

QString TDataSetRowSource::ColumnName(int column) const
{
    return dataSet_->Field(column)->FieldName();
}

QVariant TDataSetRowSource::Value(int row, int column) const
{
    return dataSet_->ValueAt(row, *dataSet_->Field(column));
}

QString TDataSetRowSource::DisplayText(int row, int column) const
{
    return dataSet_->DisplayTextAt(row, *dataSet_->Field(column));
}

Qt::Alignment TDataSetRowSource::ColumnAlignment(int column) const
{
    return dataSet_->Field(column)->Alignment() & Qt::AlignHorizontal_Mask;
}

bool TDataSetRowSource::Changed() const
{
    return !dataSet_ || watch_->ChangedFrom(dataSet_->RecordCount());
}

TModelRowSource::TModelRowSource(const QAbstractItemModel* model, int nameRole)
    : model_(model), nameRole_(nameRole), watch_(std::make_unique<TRowWatch>(model ? model->rowCount() : 0))
{
    if (!model)
        return;
    TRowWatch* watch = watch_.get();
    const auto mark = [watch] { watch->Mark(); };
    QObject::connect(model, &QAbstractItemModel::rowsInserted, watch, mark);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, watch, mark);
    QObject::connect(model, &QAbstractItemModel::rowsMoved, watch, mark);
    QObject::connect(model, &QAbstractItemModel::dataChanged, watch, mark);
}

TModelRowSource::~TModelRowSource() = default;

namespace {

// The dataset field behind a column of a TDataSetModel; null for other models.
TField* FieldOf(const QAbstractItemModel* model, int column)
{
    if (!qobject_cast<const TDataSetModel*>(model))
        return nullptr;
    return static_cast<TField*>(
        model->headerData(column, Qt::Horizontal, TDataSetModel::FieldRole).value<void*>());
}

}  // namespace

QString TModelRowSource::Name() const
{
    return model_ ? model_->objectName() : QString();
}

int TModelRowSource::RowCount() const
{
    return model_ ? model_->rowCount() : 0;
}

int TModelRowSource::ColumnCount() const
{
    return model_ ? model_->columnCount() : 0;
}

QString TModelRowSource::ColumnName(int column) const
{
    if (const TField* field = FieldOf(model_, column))
        return field->FieldName();
    return model_->headerData(column, Qt::Horizontal, nameRole_).toString();
}

QVariant TModelRowSource::Value(int row, int column) const
{
    if (TField* field = FieldOf(model_, column))
        return field->DataSet()->ValueAt(row, *field);
    const QModelIndex index = model_->index(row, column);
    const QVariant value = model_->data(index, Qt::EditRole);
    return value.isValid() ? value : model_->data(index, Qt::DisplayRole);
}

QString TModelRowSource::DisplayText(int row, int column) const
{
    return model_->data(model_->index(row, column), Qt::DisplayRole).toString();
}

Qt::Alignment TModelRowSource::ColumnAlignment(int column) const
{
    if (const TField* field = FieldOf(model_, column))
        return field->Alignment() & Qt::AlignHorizontal_Mask;
    if (!model_ || model_->rowCount() == 0)
        return Qt::AlignLeft;
    const QVariant alignment = model_->data(model_->index(0, column), Qt::TextAlignmentRole);
    const Qt::Alignment value = alignment.metaType() == QMetaType::fromType<Qt::Alignment>()
                                    ? alignment.value<Qt::Alignment>()
                                    : Qt::Alignment(alignment.toInt());
    return alignment.isValid() ? value & Qt::AlignHorizontal_Mask : Qt::AlignLeft;
}

bool TModelRowSource::Changed() const
{
    return !model_ || watch_->ChangedFrom(model_->rowCount());
}
