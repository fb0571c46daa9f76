#pragma once
// A dataset provider over one table: the columns it serves with their metadata, how it
// reads its rows and how it applies a change log (in one transaction, rows found by the
// key columns, with the maximum error count of docs/protocol.md). The modules define
// their providers with the builders below and enter them with AddTableProvider.

#include "remote/Protocol.h"
#include "server/CallTable.h"
#include "server/DataPackets.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

class TDatabase;

// Error codes of applied changes.
namespace applyerr {
inline constexpr int KeyViolation = 9729;     // duplicate key, or the row is gone
inline constexpr int InvalidValue = 9730;     // wrong type, too long, read-only column
inline constexpr int RequiredMissing = 9732;  // a required column is empty
inline constexpr int ForeignKey = 9733;       // a referenced row does not exist
inline constexpr int DetailsExist = 9734;     // other rows still refer to this one
inline constexpr int Refused = 9735;          // the provider does not allow the change
}  // namespace applyerr

struct TProviderField {
    TFieldDef Def;
    // An integer column where 0 means "none" and is stored as null.
    bool ZeroIsNull = false;
};

// Narrows the rows of a provider to those whose column equals a value.
struct TRowFilter {
    QString Column;
    qint64 Value = 0;
};

class TTableProvider {
public:
    QString Name;   // "dspPBX"
    QString Table;  // "PBX"
    QList<TProviderField> Fields;
    QString OrderBy;
    bool CanInsert = true;
    bool CanModify = true;
    bool CanDelete = true;
    // Refuses the deletion of a row (given as fetched) with a reason, or allows it (empty).
    std::function<QString(TDatabase&, const QVariantList&)> DeleteRefusal;
    // Refuses a delete or modify that would leave rows elsewhere referring to nothing
    // (9734 with the reason), or allows it (empty).
    std::function<QString(TDatabase&, const TDeltaChange&)> ReferenceRefusal;

    QList<TFieldDef> Meta() const;
    TDataSetResult Open(TDatabase& db, const std::optional<TRowFilter>& filter = std::nullopt) const;
    TMessage Apply(TDatabase& db, const TMessage& apply) const;

private:
    int AutoIncColumn() const;
    QString SelectList() const;
    // One change inside the transaction; returns the row as stored (insert, modify).
    QVariantList ApplyChange(TDatabase& db, const TDeltaChange& change) const;
    QVariantList ReadRow(TDatabase& db, const QString& where, const QVariantList& params) const;
    QVariantList KeyValues(const QVariantList& row) const;
    QString KeyWhere() const;
};

// An error of one change: its code and text.
class EApplyError : public Exception {
public:
    EApplyError(int code, QString message) : Exception(std::move(message)), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

// Building a provider: its columns, then the provider over a table.
TProviderField ProviderField(const char* name, TFieldType type, int size = 0, bool required = false,
                             bool readOnly = false, bool key = false);
TProviderField IdField();                    // ID: auto-increment key, read-only
TProviderField NameField(bool key = false);  // NAME: wide string of 100, required
TProviderField ArchiveIdField();             // ARCHIVE_ID: integer
TTableProvider MakeTableProvider(const char* name, const char* table, QList<TProviderField> fields,
                                 const char* orderBy);

// Enters the provider over a table (under its name) in a module: changes are applied to
// the server's database, and opening reads all rows unless open reads them.
void AddTableProvider(const TModuleEntries& module, int level, const TTableProvider& table,
                      TOpenHandler open = {});
