#pragma once
// The rows a report prints: a table of columns by name, read by row number without moving
// any cursor. The engine reads only through TRowSource, so every window prints the same way
// whatever holds its rows.
//
//   auto report = std::make_unique<TReport>(std::make_unique<TDataSetRowSource>(&cdsResult));
//   // or, for a window that shows its rows through a model:
//   auto report = std::make_unique<TReport>(std::make_unique<TModelRowSource>(&model));
//
// Every column of the source can be named in expressions and field elements, visible in a
// grid or not: a grouped column is often hidden in the grid but still groups the rows.
//
// The source must not change while a report is laid out or painted; an adaptor notices a
// change of its rows (Changed()) and the engine then stops with EReportError instead of
// printing rows that are no longer there.

#include <QPointer>
#include <QString>
#include <QVariant>

#include <memory>

class QAbstractItemModel;
class TRemoteDataSet;
class TRowWatch;

class TRowSource {
public:
    virtual ~TRowSource();

    // A name for messages (the dataset's object name).
    virtual QString Name() const = 0;
    virtual int RowCount() const = 0;
    virtual int ColumnCount() const = 0;
    virtual QString ColumnName(int column) const = 0;
    // The typed value (null is an invalid QVariant). Numbers are int, qint64 or double.
    virtual QVariant Value(int row, int column) const = 0;
    // The text a grid shows for the value (text handlers included).
    virtual QString DisplayText(int row, int column) const = 0;
    // The column's horizontal alignment as a grid shows it.
    virtual Qt::Alignment ColumnAlignment(int column) const;
    // True once the rows changed (reset, rows inserted or removed, source destroyed) since
    // the adaptor was made. Never raises.
    virtual bool Changed() const;

    // The column of a name, compared without regard to case; -1 when there is none.
    int FindColumn(const QString& name) const;
};

// Over a dataset: every field, visible or not, by its field name.
class TDataSetRowSource : public TRowSource {
public:
    explicit TDataSetRowSource(TRemoteDataSet* dataSet);
    ~TDataSetRowSource() override;

    TRemoteDataSet* DataSet() const;

    QString Name() const override;
    int RowCount() const override;
    int ColumnCount() const override;
    QString ColumnName(int column) const override;
    QVariant Value(int row, int column) const override;
    QString DisplayText(int row, int column) const override;
    Qt::Alignment ColumnAlignment(int column) const override;
    bool Changed() const override;

private:
    QPointer<TRemoteDataSet> dataSet_;
    std::unique_ptr<TRowWatch> watch_;
};

// Over a table model: its columns by their header texts (Qt::DisplayRole, or nameRole),
// values from Qt::EditRole (Qt::DisplayRole when the model gives none), texts from
// Qt::DisplayRole. A TDataSetModel's columns are named by their fields' names and read
// through its dataset, so the model's columns are the dataset's visible fields.
class TModelRowSource : public TRowSource {
public:
    explicit TModelRowSource(const QAbstractItemModel* model, int nameRole = Qt::DisplayRole);
    ~TModelRowSource() override;

    QString Name() const override;
    int RowCount() const override;
    int ColumnCount() const override;
    QString ColumnName(int column) const override;
    QVariant Value(int row, int column) const override;
    QString DisplayText(int row, int column) const override;
    Qt::Alignment ColumnAlignment(int column) const override;
    bool Changed() const override;

private:
    QPointer<const QAbstractItemModel> model_;
    int nameRole_;
    std::unique_ptr<TRowWatch> watch_;
};
