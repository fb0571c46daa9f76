#pragma once
// Whether a TDataSetModel shows what its dataset holds: one row a record, one column a
// visible field headed by its label, every cell the field's display text.

#include "remote/DataSetModel.h"
#include "remote/RemoteDataSet.h"

#include <QString>

// Where the model shows something else than the dataset holds; empty when it shows it all.
inline QString DataSetModelMismatch(const TDataSetModel& model, TRemoteDataSet& ds)
{
    QList<TField*> visible;
    for (TField* f : ds.Fields())
        if (f->Visible() && ds.Active())
            visible.append(f);
    if (model.rowCount() != ds.RecordCount() || model.columnCount() != visible.size())
        return QStringLiteral("%1x%2 shown for %3x%4")
            .arg(model.rowCount())
            .arg(model.columnCount())
            .arg(ds.RecordCount())
            .arg(visible.size());
    for (int c = 0; c < visible.size(); ++c) {
        if (model.headerData(c, Qt::Horizontal).toString() != visible[c]->DisplayLabel())
            return QStringLiteral("header %1").arg(c);
        for (int r = 0; r < ds.RecordCount(); ++r)
            if (model.data(model.index(r, c)).toString() != ds.DisplayTextAt(r, *visible[c]))
                return QStringLiteral("cell %1,%2").arg(r).arg(c);
    }
    return QString();
}
