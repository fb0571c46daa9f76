#include "server/TableProvider.h"

#include "server/Database.h"
#include "server/ServerContext.h"
#include "server/SqlValues.h"

#include <sqlite3.h>

namespace {

// A value as it is bound: ZeroIsNull applied, converted to the column's storage form.
QVariant BindValue(const TProviderField& f, const QVariant& value)
{
    QVariant out;
    QString error;
    if (!ValueForColumn(value, f.Def, out, error))
        throw EApplyError(applyerr::InvalidValue, error);
    if (f.ZeroIsNull && out.isValid() && out.toLongLong() == 0)
        out = QVariant();
    return out;
}

EApplyError FromSqlite(const ESqliteError& e, TChangeKind kind)
{
    switch (e.ExtendedCode()) {
        case SQLITE_CONSTRAINT_PRIMARYKEY:
        case SQLITE_CONSTRAINT_UNIQUE:
            return EApplyError(applyerr::KeyViolation,
                               QStringLiteral("Key violation: a row with this key exists already."));
        case SQLITE_CONSTRAINT_NOTNULL:
            return EApplyError(applyerr::RequiredMissing, e.Message());
        case SQLITE_CONSTRAINT_TRIGGER:  // how SQLite reports ON DELETE RESTRICT
            if (!e.Message().contains(QLatin1String("FOREIGN KEY")))
                throw e;
            [[fallthrough]];
        case SQLITE_CONSTRAINT_FOREIGNKEY:
            if (kind == TChangeKind::Delete)
                return EApplyError(applyerr::DetailsExist,
                                   QStringLiteral("The row cannot be deleted: other rows refer to it."));
            return EApplyError(applyerr::ForeignKey, QStringLiteral("A referenced row does not exist."));
        default:
            throw e;
    }
}

}  // namespace

TProviderField ProviderField(const char* name, TFieldType type, int size, bool required, bool readOnly,
                             bool key)
{
    TProviderField f;
    f.Def.Name = QLatin1String(name);
    f.Def.DataType = type;
    f.Def.Size = size;
    f.Def.Required = required;
    f.Def.ReadOnly = readOnly || type == TFieldType::AutoInc;
    f.Def.Key = key;
    return f;
}

TProviderField IdField()
{
    return ProviderField("ID", TFieldType::AutoInc, 0, false, true, true);
}

TProviderField NameField(bool key)
{
    return ProviderField("NAME", TFieldType::WideString, 100, true, false, key);
}

TProviderField ArchiveIdField()
{
    return ProviderField("ARCHIVE_ID", TFieldType::Integer);
}

TTableProvider MakeTableProvider(const char* name, const char* table, QList<TProviderField> fields,
                                 const char* orderBy)
{
    TTableProvider p;
    p.Name = QLatin1String(name);
    p.Table = QLatin1String(table);
    p.Fields = std::move(fields);
    p.OrderBy = QLatin1String(orderBy);
    return p;
}

void AddTableProvider(const TModuleEntries& module, int level, const TTableProvider& table, TOpenHandler open)
{
    if (!open)
        open = [&table](TProviderContext& c) {
            return std::make_shared<const TDataSetResult>(table.Open(c.Server.Database()));
        };
    module.Provider(table.Name, level, std::move(open),
                    [&table](TProviderContext& c) { return table.Apply(c.Server.Database(), c.Request); });
}

QList<TFieldDef> TTableProvider::Meta() const
{
    QList<TFieldDef> defs;
    for (const TProviderField& f : Fields)
        defs.append(f.Def);
    return defs;
}

int TTableProvider::AutoIncColumn() const
{
    for (int i = 0; i < Fields.size(); ++i)
        if (Fields.at(i).Def.DataType == TFieldType::AutoInc)
            return i;
    return -1;
}

QString TTableProvider::SelectList() const
{
    QStringList columns;
    for (const TProviderField& f : Fields)
        columns << f.Def.Name;
    return columns.join(QStringLiteral(", "));
}

QString TTableProvider::KeyWhere() const
{
    QStringList parts;
    for (const TProviderField& f : Fields)
        if (f.Def.Key)
            parts << QStringLiteral("%1 IS ?").arg(f.Def.Name);
    return parts.join(QStringLiteral(" AND "));
}

QVariantList TTableProvider::KeyValues(const QVariantList& row) const
{
    QVariantList values;
    for (int i = 0; i < Fields.size(); ++i)
        if (Fields.at(i).Def.Key)
            values << BindValue(Fields.at(i), row.at(i));
    return values;
}

TDataSetResult TTableProvider::Open(TDatabase& db, const std::optional<TRowFilter>& filter) const
{
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(SelectList(), Table);
    if (filter)
        sql += QStringLiteral(" WHERE coalesce(%1, 0) = ?").arg(filter->Column);
    if (!OrderBy.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + OrderBy;
    TStatement stmt = db.Prepare(sql);
    if (filter)
        stmt.BindInt(1, filter->Value);
    TDataSetResult result;
    result.Fields = Meta();
    TRowsPacker packer;
    while (stmt.Step()) {
        QVariantList row;
        for (int i = 0; i < Fields.size(); ++i)
            row << ColumnValueAs(stmt, i, Fields.at(i).Def.DataType);
        packer.Add(std::move(row));
    }
    packer.Finish();
    result.Packets = packer.Packets();
    result.RowCount = packer.RowCount();
    return result;
}

QVariantList TTableProvider::ReadRow(TDatabase& db, const QString& where, const QVariantList& params) const
{
    TStatement stmt =
        db.Prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(SelectList(), Table, where));
    for (int i = 0; i < params.size(); ++i)
        stmt.Bind(i + 1, params.at(i));
    QVariantList row;
    if (stmt.Step())
        for (int i = 0; i < Fields.size(); ++i)
            row << ColumnValueAs(stmt, i, Fields.at(i).Def.DataType);
    return row;
}

QVariantList TTableProvider::ApplyChange(TDatabase& db, const TDeltaChange& change) const
{
    const qsizetype n = Fields.size();
    if (change.Kind != TChangeKind::Insert && change.Old.size() != n)
        throw EApplyError(applyerr::InvalidValue,
                          QStringLiteral("The change holds %1 old values; %2 has %3 fields.")
                              .arg(change.Old.size())
                              .arg(Name)
                              .arg(n));
    if (change.Kind != TChangeKind::Delete && change.New.size() != n)
        throw EApplyError(applyerr::InvalidValue,
                          QStringLiteral("The change holds %1 new values; %2 has %3 fields.")
                              .arg(change.New.size())
                              .arg(Name)
                              .arg(n));

    auto checkRequired = [&](const TProviderField& f, const QVariant& bound) {
        if (f.Def.Required && !bound.isValid())
            throw EApplyError(applyerr::RequiredMissing,
                              QStringLiteral("Field '%1' must have a value.").arg(f.Def.Name));
    };

    if (change.Kind == TChangeKind::Insert) {
        if (!CanInsert)
            throw EApplyError(applyerr::Refused, QStringLiteral("%1 does not accept new rows.").arg(Name));
        QStringList columns;
        QVariantList values;
        for (int i = 0; i < n; ++i) {
            const TProviderField& f = Fields.at(i);
            const QVariant& v = change.New.at(i);
            if (f.Def.ReadOnly || !v.isValid())
                continue;
            const QVariant bound = BindValue(f, v);
            checkRequired(f, bound);
            columns << f.Def.Name;
            values << bound;
        }
        QString sql =
            columns.isEmpty()
                ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(Table)
                : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(Table, columns.join(QStringLiteral(", ")),
                           QStringList(columns.size(), QStringLiteral("?")).join(QStringLiteral(", ")));
        TStatement stmt = db.Prepare(sql);
        for (int i = 0; i < values.size(); ++i)
            stmt.Bind(i + 1, values.at(i));
        stmt.Step();
        return ReadRow(db, QStringLiteral("rowid = ?"), {db.LastInsertRowId()});
    }

    TStatement find = db.Prepare(QStringLiteral("SELECT rowid FROM %1 WHERE %2").arg(Table, KeyWhere()));
    const QVariantList key = KeyValues(change.Old);
    for (int i = 0; i < key.size(); ++i)
        find.Bind(i + 1, key.at(i));
    if (!find.Step())
        throw EApplyError(applyerr::KeyViolation,
                          QStringLiteral("The row no longer exists: another user changed or deleted it."));
    const qint64 rowid = find.Int(0);
    if (ReferenceRefusal) {
        const QString why = ReferenceRefusal(db, change);
        if (!why.isEmpty())
            throw EApplyError(applyerr::DetailsExist, why);
    }

    if (change.Kind == TChangeKind::Delete) {
        if (!CanDelete)
            throw EApplyError(applyerr::Refused,
                              QStringLiteral("%1 does not allow deleting rows.").arg(Name));
        if (DeleteRefusal) {
            const QString why = DeleteRefusal(db, change.Old);
            if (!why.isEmpty())
                throw EApplyError(applyerr::Refused, why);
        }
        TStatement del = db.Prepare(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(Table));
        del.BindInt(1, rowid);
        del.Step();
        return {};
    }

    if (!CanModify)
        throw EApplyError(applyerr::Refused, QStringLiteral("%1 does not allow changing rows.").arg(Name));
    QStringList sets;
    QVariantList values;
    for (int i = 0; i < n; ++i) {
        const TProviderField& f = Fields.at(i);
        const QVariant& v = change.New.at(i);
        if (!v.isValid())
            continue;
        const QVariant bound = BindValue(f, v);
        if (f.Def.ReadOnly) {
            if (bound != BindValue(f, change.Old.at(i)))
                throw EApplyError(applyerr::InvalidValue,
                                  QStringLiteral("Field '%1' cannot be modified.").arg(f.Def.Name));
            continue;
        }
        checkRequired(f, bound);
        sets << QStringLiteral("%1 = ?").arg(f.Def.Name);
        values << bound;
    }
    if (!sets.isEmpty()) {
        TStatement upd = db.Prepare(
            QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?").arg(Table, sets.join(QStringLiteral(", "))));
        for (int i = 0; i < values.size(); ++i)
            upd.Bind(i + 1, values.at(i));
        upd.BindInt(static_cast<int>(values.size()) + 1, rowid);
        upd.Step();
    }
    return ReadRow(db, QStringLiteral("rowid = ?"), {rowid});
}

TMessage TTableProvider::Apply(TDatabase& db, const TMessage& apply) const
{
    TMessage out;
    out.Kind = TMessageKind::Applied;
    out.Id = apply.Id;
    TTransaction tx(db);
    bool tooMany = false;
    for (int i = 0; i < apply.Delta.size() && !tooMany; ++i) {
        const TDeltaChange& change = apply.Delta.at(i);
        db.Exec(QStringLiteral("SAVEPOINT change"));
        try {
            QVariantList row;
            try {
                row = ApplyChange(db, change);
            } catch (const ESqliteError& e) {
                throw FromSqlite(e, change.Kind);
            }
            db.Exec(QStringLiteral("RELEASE change"));
            if (change.Kind != TChangeKind::Delete)
                out.AppliedRows.append(TAppliedRow{i, row});
        } catch (const EApplyError& e) {
            db.Exec(QStringLiteral("ROLLBACK TO change; RELEASE change"));
            out.Errors.append(TApplyError{i, e.Code(), e.Message()});
            tooMany = apply.MaxErrors >= 0 && out.Errors.size() > apply.MaxErrors;
        }
    }
    if (tooMany) {
        tx.Rollback();
        out.AppliedRows.clear();
    } else {
        tx.Commit();
    }
    return out;
}
