#include "reports/GridColumnWidths.h"

#include "remote/DataSetModel.h"
#include "remote/Field.h"
#include "remote/RemoteDataSet.h"

#include <QHeaderView>
#include <QTableView>

TGridColumnWidths::TGridColumnWidths(QTableView* grid, TDataSetModel* model)
    : QObject(grid), grid_(grid), model_(model)
{
    // After the view has taken the reset (it connected first), so the sections exist.
    connect(model_, &QAbstractItemModel::modelReset, this, &TGridColumnWidths::Apply);
    connect(model_, &QAbstractItemModel::headerDataChanged, this,
            [this](Qt::Orientation orientation, int, int) {
                if (orientation == Qt::Horizontal)
                    Apply();
            });
    connect(grid_->horizontalHeader(), &QHeaderView::sectionResized, this,
            &TGridColumnWidths::OnSectionResized);
}

QString TGridColumnWidths::Key(const TField& field)
{
    return field.FieldName().toUpper();
}

int TGridColumnWidths::Width(const TField& field) const
{
    const int column = model_->ColumnOf(&field);
    return column < 0 ? -1 : grid_->columnWidth(column);
}

void TGridColumnWidths::Keep(const TField& field, int pixels)
{
    widths_.insert(Key(field), pixels);
}

int TGridColumnWidths::DefaultWidth(const TField& field) const
{
    const QFontMetrics cells(grid_->font());
    const QFontMetrics titles(grid_->horizontalHeader()->font());
    const int text = field.DisplayWidth() * cells.horizontalAdvance(QLatin1Char('0')) + 4;
    const int heading = titles.horizontalAdvance(field.DisplayLabel()) + 12;
    return qMax(text, heading);
}

void TGridColumnWidths::Apply()
{
    applying_ = true;
    for (int column = 0; column < model_->columnCount(); ++column) {
        const TField* field = model_->FieldAt(column);
        if (!field)
            continue;
        const auto kept = widths_.constFind(Key(*field));
        grid_->setColumnWidth(column, kept != widths_.constEnd() ? *kept : DefaultWidth(*field));
    }
    applying_ = false;
}

void TGridColumnWidths::OnSectionResized(int column, int, int newSize)
{
    if (applying_)
        return;
    if (const TField* field = model_->FieldAt(column))
        widths_.insert(Key(*field), newSize);
}
