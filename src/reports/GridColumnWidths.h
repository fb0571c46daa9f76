#pragma once
// The pixel widths of a grid's columns over a dataset, kept by field name. A grid over a
// TDataSetModel is reset whenever a field is shown, hidden or moved, and Qt then gives every
// column its default size; this keeps what the user dragged and what a layout state asked
// for, and puts it back after every reset. A column nobody sized gets the width of its
// field's display width in characters of the grid's font (and at least its heading).
//
//   TGridColumnWidths widths(Grid, DataSource);   // both must outlive it
//   widths.Keep(*field, 120);
//   widths.Apply();                               // also after every reset of the model
//   widths.Width(*field);                         // -1 while the grid does not show it
//
// Names compare without regard to case, as the dataset's field names do.

#include <QHash>
#include <QObject>
#include <QString>

class QTableView;
class TDataSetModel;
class TField;

class TGridColumnWidths : public QObject {
    Q_OBJECT

public:
    TGridColumnWidths(QTableView* grid, TDataSetModel* model);

    // The pixel width of the field's column; -1 when the grid does not show the field.
    int Width(const TField& field) const;
    // Keeps the width for the field, for the next Apply.
    void Keep(const TField& field, int pixels);
    // The width a column gets that nobody sized.
    int DefaultWidth(const TField& field) const;
    // Puts the kept (or default) width on every column the grid shows.
    void Apply();

private:
    static QString Key(const TField& field);
    void OnSectionResized(int column, int oldSize, int newSize);

    QTableView* grid_;
    TDataSetModel* model_;
    QHash<QString, int> widths_;
    bool applying_ = false;
};
