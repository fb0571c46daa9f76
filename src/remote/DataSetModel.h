#pragma once
// The table model every grid shows a dataset through: the visible fields as columns
// (headed by their display labels), each cell the field's DisplayText (text handlers
// included) with the field's alignment. It follows the dataset's rows, edits and cursor and
// stays quiet while the dataset's controls are disabled (one reset afterwards).
//
//   TDataSetModel model;
//   model.SetDataSet(&cdsExtension);
//   view->setModel(&model);
//   model.BindSelectionModel(view->selectionModel());  // current row <-> dataset cursor
//   // column widths: header data DisplayWidthRole is the field's width in characters
//
// Header data of a column: Qt::DisplayRole the display label, DisplayWidthRole the display
// width in characters, FieldRole the TField* (as a pointer in a QVariant). When the dataset
// is destroyed the model resets to no rows and no columns.

#include <QAbstractTableModel>
#include <QPointer>
#include <QVector>

class QItemSelectionModel;
class TField;
class TRemoteDataSet;

class TDataSetModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Roles { DisplayWidthRole = Qt::UserRole + 1, FieldRole };

    explicit TDataSetModel(QObject* parent = nullptr);

    void SetDataSet(TRemoteDataSet* dataSet);
    TRemoteDataSet* DataSet() const { return dataSet_; }

    // The field shown in a column (null outside), and the column of a field (-1 when hidden).
    TField* FieldAt(int column) const;
    int ColumnOf(const TField* field) const;

    // Keeps the selection model's current row and the dataset's cursor together, both ways.
    void BindSelectionModel(QItemSelectionModel* selection);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

Q_SIGNALS:
    // The dataset's current row changed (also after a reset).
    void CurrentRowChanged(int row);

private:
    void Rebuild();
    void OnAboutToReset();
    void OnReset();
    void OnDataSetDestroyed();
    void OnCurrentRowChanged(int row);
    void SyncSelection();
    void OnSelectionCurrentChanged(const QModelIndex& current);

    QPointer<TRemoteDataSet> dataSet_;
    QPointer<QItemSelectionModel> selection_;
    // What the views were last told; the dataset may be ahead while its controls are off.
    int rows_ = 0;
    QVector<int> columns_;  // field indexes of the visible fields
    bool resetting_ = false;
    bool syncing_ = false;
    bool movingRows_ = false;  // between the begin and end of inserting or removing rows
};
