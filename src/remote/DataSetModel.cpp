#include "remote/DataSetModel.h"

#include "remote/Field.h"
#include "remote/RemoteDataSet.h"

#include <QItemSelectionModel>

#include <exception>

TDataSetModel::TDataSetModel(QObject* parent) : QAbstractTableModel(parent) {}

void TDataSetModel::SetDataSet(TRemoteDataSet* dataSet)
{
    if (dataSet_ == dataSet)
        return;
    beginResetModel();
    if (dataSet_)
        dataSet_->disconnect(this);
    dataSet_ = dataSet;
    if (dataSet_) {
        connect(dataSet_, &TRemoteDataSet::AboutToReset, this, &TDataSetModel::OnAboutToReset);
        connect(dataSet_, &TRemoteDataSet::Reset, this, &TDataSetModel::OnReset);
        connect(dataSet_, &TRemoteDataSet::RowsAboutToBeInserted, this, [this](int first, int last) {
            movingRows_ = true;
            beginInsertRows(QModelIndex(), first, last);
        });
        connect(dataSet_, &TRemoteDataSet::RowsInserted, this, [this](int first, int last) {
            rows_ += last - first + 1;
            endInsertRows();
            movingRows_ = false;
        });
        connect(dataSet_, &TRemoteDataSet::RowsAboutToBeRemoved, this, [this](int first, int last) {
            movingRows_ = true;
            beginRemoveRows(QModelIndex(), first, last);
        });
        connect(dataSet_, &TRemoteDataSet::RowsRemoved, this, [this](int first, int last) {
            rows_ -= last - first + 1;
            endRemoveRows();
            movingRows_ = false;
        });
        connect(dataSet_, &TRemoteDataSet::RowsChanged, this, [this](int first, int last) {
            if (!columns_.isEmpty() && first < rows_)
                Q_EMIT dataChanged(index(first, 0), index(qMin(last, rows_ - 1), columns_.size() - 1));
        });
        connect(dataSet_, &TRemoteDataSet::FieldChanged, this, [this](int fieldIndex) {
            const int column = columns_.indexOf(fieldIndex);
            if (column < 0)
                return;
            Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
            if (rows_ > 0)
                Q_EMIT dataChanged(index(0, column), index(rows_ - 1, column));
        });
        connect(dataSet_, &TRemoteDataSet::CurrentRowChanged, this, &TDataSetModel::OnCurrentRowChanged);
        connect(dataSet_, &QObject::destroyed, this, &TDataSetModel::OnDataSetDestroyed);
    }
    Rebuild();
    endResetModel();
    SyncSelection();
}

void TDataSetModel::Rebuild()
{
    columns_.clear();
    rows_ = 0;
    if (!dataSet_ || !dataSet_->Active())
        return;
    for (int i = 0; i < dataSet_->FieldCount(); ++i)
        if (dataSet_->Field(i)->Visible())
            columns_.append(i);
    rows_ = dataSet_->RecordCount();
}

void TDataSetModel::OnAboutToReset()
{
    if (resetting_)
        return;
    resetting_ = true;
    beginResetModel();
}

void TDataSetModel::OnReset()
{
    if (!resetting_)
        beginResetModel();
    Rebuild();
    resetting_ = false;
    endResetModel();
    SyncSelection();
    Q_EMIT CurrentRowChanged(dataSet_ ? dataSet_->CurrentRow() : -1);
}

// The views must not go on asking for rows that went with the dataset.
void TDataSetModel::OnDataSetDestroyed()
{
    if (!resetting_)
        beginResetModel();
    dataSet_ = nullptr;
    Rebuild();
    resetting_ = false;
    endResetModel();
    Q_EMIT CurrentRowChanged(-1);
}

TField* TDataSetModel::FieldAt(int column) const
{
    if (!dataSet_ || column < 0 || column >= columns_.size())
        return nullptr;
    const int field = columns_[column];
    return field < dataSet_->FieldCount() ? dataSet_->Field(field) : nullptr;
}

int TDataSetModel::ColumnOf(const TField* field) const
{
    for (int c = 0; c < columns_.size(); ++c)
        if (FieldAt(c) == field)
            return c;
    return -1;
}

int TDataSetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int TDataSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant TDataSetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !dataSet_ || index.row() >= dataSet_->RecordCount())
        return QVariant();
    TField* field = FieldAt(index.column());
    if (!field)
        return QVariant();
    switch (role) {
        case Qt::DisplayRole:
            // A handler that fails must not take the view down with it.
            try {
                return dataSet_->DisplayTextAt(index.row(), *field);
            } catch (const std::exception& e) {
                qWarning("%s: %s", qPrintable(dataSet_->objectName()), e.what());
                return QVariant();
            }
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(field->Alignment() | Qt::AlignVCenter);
        default:
            return QVariant();
    }
}

QVariant TDataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    const TField* field = FieldAt(section);
    if (!field)
        return QVariant();
    switch (role) {
        case Qt::DisplayRole:
            return field->DisplayLabel();
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        case DisplayWidthRole:
            return field->DisplayWidth();
        case FieldRole:
            return QVariant::fromValue(static_cast<void*>(const_cast<TField*>(field)));
        default:
            return QVariant();
    }
}

Qt::ItemFlags TDataSetModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void TDataSetModel::BindSelectionModel(QItemSelectionModel* selection)
{
    if (selection_)
        selection_->disconnect(this);
    selection_ = selection;
    if (selection_)
        connect(
            selection_, &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) { OnSelectionCurrentChanged(current); });
    SyncSelection();
}

void TDataSetModel::OnCurrentRowChanged(int row)
{
    SyncSelection();
    Q_EMIT CurrentRowChanged(row);
}

void TDataSetModel::SyncSelection()
{
    if (!selection_ || selection_->model() != this || !dataSet_ || syncing_)
        return;
    const int row = dataSet_->CurrentRow();
    syncing_ = true;
    if (row < 0 || row >= rows_ || columns_.isEmpty()) {
        selection_->clear();
    } else {
        const int column = selection_->currentIndex().isValid() ? selection_->currentIndex().column() : 0;
        const QModelIndex target = index(row, qMin(column, static_cast<int>(columns_.size()) - 1));
        if (selection_->currentIndex() != target)
            selection_->setCurrentIndex(target,
                                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    syncing_ = false;
}

void TDataSetModel::OnSelectionCurrentChanged(const QModelIndex& current)
{
    // A selection moves by itself off a row being removed; the dataset places its cursor
    // when the removal is done and tells the views.
    if (syncing_ || movingRows_ || !dataSet_ || !current.isValid() || !dataSet_->Active())
        return;
    if (current.row() == dataSet_->CurrentRow())
        return;
    syncing_ = true;
    try {
        dataSet_->SetCurrentRow(current.row());
    } catch (...) {
        // The cursor stayed (a pending edit could not be posted): the view follows it back.
        syncing_ = false;
        QMetaObject::invokeMethod(this, &TDataSetModel::SyncSelection, Qt::QueuedConnection);
        throw;
    }
    syncing_ = false;
}
