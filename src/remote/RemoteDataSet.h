#pragma once
// A client dataset: the rows of a server provider (or of a local in-memory table), a cursor
// over them, editing with a change log that is applied back to the provider, calculated
// and lookup fields, and notifications for the grid model.
//
//   TRemoteDataSet cdsExtension;
//   cdsExtension.setObjectName(QStringLiteral("cdsExtension"));
//   cdsExtension.SetRemoteServer(&scAdmin);
//   cdsExtension.SetProviderName(QStringLiteral("dspExtension"));
//   cdsExtension.AddField(QStringLiteral("CODE"), TFieldType::String, 10)->SetDisplayLabel(tr("Number"));
//   cdsExtension.AddField(QStringLiteral("GROUP_ID"), TFieldType::Integer)->SetVisible(false);
//   cdsExtension.AddLookupField(QStringLiteral("lkpGroupName"), TFieldType::WideString, 100, &cdsGroups,
//                               QStringLiteral("GROUP_ID"), QStringLiteral("ID"), QStringLiteral("NAME"));
//   cdsExtension.Open();
//
// Declared (persistent) fields keep their properties across closing and reopening; the
// columns the provider sends take the properties of the declared field of the same name
// (names compare without regard to case). Provider columns without a declaration become
// dynamic fields after the declared ones; they are destroyed at Close, so do not keep
// pointers to them across a reopen.
//
// Rows live in typed column storage (RecordStore.h), not as one QVariant per value; a
// provider's transfer is read into it by TDataSetReader, and edits are logged in a
// TChangeLog that builds the delta and takes the provider's answer.
//
// Two audiences hear of what happens, each through one channel:
// - the dataset's owner through the events (AfterScroll, BeforePost, OnCalcFields, ...):
//   plain hooks, one handler each, run even while controls are disabled; a Before* hook
//   raises to stop the operation;
// - views through the signals (rows inserted, removed, changed, the current row, a reset):
//   quiet while controls are disabled, then one reset. TDataSetModel turns them into a
//   model's signals.

#include "remote/ChangeLog.h"
#include "remote/Connections.h"
#include "remote/Field.h"
#include "remote/Protocol.h"
#include "remote/RecordStore.h"
#include "remote/RemoteModule.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

enum class TDataSetState : quint8 { Inactive, Browse, Edit, Insert };
enum class TUpdateStatus : quint8 { Unmodified, Modified, Inserted };

struct TLocateOptions {
    bool CaseInsensitive = false;
    bool PartialKey = false;  // a text matches when it begins with the value
};

class TRemoteDataSet : public QObject {
    Q_OBJECT

public:
    using TDataSetNotifyEvent = std::function<void(TRemoteDataSet& dataSet)>;

    explicit TRemoteDataSet(QObject* parent = nullptr);
    ~TRemoteDataSet() override;

    // ---- source -----------------------------------------------------------------------
    void SetRemoteServer(TRemoteConnection* connection) { remoteServer_ = connection; }
    TRemoteConnection* RemoteServer() const { return remoteServer_; }
    void SetProviderName(const QString& name) { providerName_ = name; }
    const QString& ProviderName() const { return providerName_; }
    // Values passed to the provider with every open (the open message's "a").
    void SetParams(const QVariantList& params) { params_ = params; }

    // ---- fields -----------------------------------------------------------------------
    // Declares fields; only while closed. The size is in characters for the string types.
    TField* AddField(const QString& name, TFieldType type, int size = 0);
    TField* AddCalculatedField(const QString& name, TFieldType type, int size = 0);
    TField* AddLookupField(const QString& name, TFieldType type, int size, TRemoteDataSet* lookupDataSet,
                           const QString& keyFields, const QString& lookupKeyFields,
                           const QString& resultField);
    // Drops every field and declaration; only while closed.
    void ClearFields();

    int FieldCount() const { return static_cast<int>(fields_.size()); }
    TField* Field(int index) const { return fields_.at(static_cast<size_t>(index)).get(); }
    QList<TField*> Fields() const;
    TField* FindField(const QString& name) const;
    // Raises EDatabaseError "<dataset>: Field '<name>' not found." when there is none.
    TField* FieldByName(const QString& name) const;

    // ---- opening ----------------------------------------------------------------------
    // Fetches the provider's rows. Raises EDatabaseError without a remote server or
    // provider, EOleSysError for the server's failures; the dataset stays closed then.
    void Open();
    // Local mode: makes an empty in-memory table of the declared data fields.
    void CreateDataSet();
    void Close();
    bool Active() const { return state_ != TDataSetState::Inactive; }
    void SetActive(bool active);
    TDataSetState State() const { return state_; }
    bool IsLocal() const { return local_; }

    // ---- cursor -----------------------------------------------------------------------
    int RecordCount() const { return static_cast<int>(rows_.size()); }
    bool IsEmpty() const { return rows_.empty(); }
    // The current row, 0-based; -1 when there is none.
    int CurrentRow() const { return current_; }
    // Moves to a row (clamped); the views' way of following a click.
    void SetCurrentRow(int row);
    int RecNo() const { return current_ + 1; }  // 1-based, 0 when empty
    void SetRecNo(int recNo) { SetCurrentRow(recNo - 1); }
    bool Bof() const { return bof_; }
    bool Eof() const { return eof_; }
    void First();
    void Last();
    void Next();
    void Prior();
    // Moves by up to `distance` rows; returns how many rows it moved (negative backwards).
    int MoveBy(int distance);
    // Moves to the first row whose fields (";"-separated) equal the values.
    bool Locate(const QString& fieldNames, const QVariantList& values, TLocateOptions options = {});
    // The values of resultFields (";"-separated: a list when more than one) in the first row
    // whose keyFields equal the values, without moving; null when there is none.
    QVariant Lookup(const QString& keyFields, const QVariantList& values, const QString& resultFields);

    // ---- editing ----------------------------------------------------------------------
    void Append();
    void Insert();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    // Appends and posts one row, values by field position (data fields only; read-only
    // fields are filled too).
    void AppendRecord(const QVariantList& values);
    // True while the edited record has changes not yet posted.
    bool Modified() const { return modified_; }
    // Posts a modified record, cancels an untouched one.
    void CheckBrowseMode();

    // ---- change log -------------------------------------------------------------------
    // Whether edits are logged (on by default, also for local tables); switching it off
    // forgets the pending changes, which then stay as they are.
    void SetLogChanges(bool log);
    bool LogChanges() const { return logChanges_; }
    int ChangeCount() const { return changeLog_.Count(); }
    TUpdateStatus UpdateStatus() const;
    // Undoes every change since the last open or apply.
    void CancelUpdates();
    // Takes the pending changes as the table's state (a local table after it is filled).
    void MergeChangeLog();
    // Undoes the changes of the current row.
    void RevertRecord();
    // Sends the change log to the provider. With maxErrors >= 0 the server keeps nothing
    // when more than maxErrors changes fail; with -1 it keeps every change that succeeds.
    // Kept changes leave the log and their rows take the values the server stored (new
    // keys); failed ones stay in the log. Returns the number of failed changes; their
    // codes and messages are in ApplyErrors() (9729 = key violation).
    int ApplyUpdates(int maxErrors);
    // As ApplyUpdates, but raises EDatabaseError with the first error's message and code
    // when any change failed.
    void ApplyUpdatesOrRaise(int maxErrors = 0);
    const QList<TApplyError>& ApplyErrors() const { return applyErrors_; }

    // ---- display updates ----------------------------------------------------------------
    // Counted: views hear nothing until the last EnableControls, then one reset when
    // anything changed meanwhile. Events such as AfterScroll still run.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ > 0; }

    // ---- access for views -----------------------------------------------------------------
    // Field texts and values of any row, without moving the cursor (the row being edited
    // shows its pending values).
    QVariant ValueAt(int row, const TField& field);
    QString DisplayTextAt(int row, const TField& field);
    QString TextAt(int row, const TField& field);

    // Where a data field's value of a row is stored, for writers that read many rows from the
    // store itself; false when it is not simply stored there (lookup and calculated fields,
    // the row being edited, a closed dataset): ValueAt then reads it.
    bool StoredAt(int row, const TField& field, quint32& slot, int& column) const;
    const TRecordStore& Store() const { return store_; }

    // Recomputes the calculated fields of every row on their next read.
    void RefreshCalcFields();

    // Bytes held by the rows (for the benchmark).
    qint64 StorageBytes() const { return store_.MemoryUsage(); }

    // ---- events ----------------------------------------------------------------------------
    TDataSetNotifyEvent AfterOpen;
    TDataSetNotifyEvent AfterClose;
    TDataSetNotifyEvent AfterScroll;
    TDataSetNotifyEvent OnNewRecord;  // set defaults of a new row
    TDataSetNotifyEvent AfterInsert;
    TDataSetNotifyEvent BeforeEdit;
    TDataSetNotifyEvent AfterEdit;
    TDataSetNotifyEvent BeforePost;  // raise to keep the row in edit state
    TDataSetNotifyEvent AfterPost;
    TDataSetNotifyEvent AfterCancel;
    TDataSetNotifyEvent BeforeDelete;
    TDataSetNotifyEvent AfterDelete;
    // Sets the calculated fields of the record it is called for.
    TDataSetNotifyEvent OnCalcFields;

Q_SIGNALS:
    // For views (suppressed while controls are disabled).
    void AboutToReset();
    void Reset();
    void RowsAboutToBeInserted(int first, int last);
    void RowsInserted(int first, int last);
    void RowsAboutToBeRemoved(int first, int last);
    void RowsRemoved(int first, int last);
    void RowsChanged(int first, int last);
    void CurrentRowChanged(int row);
    // A field's label, width, alignment or text handler changed.
    void FieldChanged(int fieldIndex);

private:
    friend class TField;
    // Where field reads and writes go.
    struct TContext {
        enum Kind { Cursor, Row, Slot, Buffer } kind = Cursor;
        int row = -1;
        quint32 slot = 0;
    };
    class TContextScope;

    TField* NewField(const QString& name, TFieldType type, int size, TFieldKind kind, bool persistent);
    QString Name() const;
    [[noreturn]] void Fail(const QString& message, int code = 0) const;
    void CheckInactive(const char* operation) const;
    void CheckActive() const;
    void CheckEditing() const;
    void PrepareStore();
    QStringList BindTransferFields(const QList<TFieldDef>& defs);
    void FinishOpen();

    // Field access (through TField).
    QVariant FieldValue(const TField& field);
    void SetFieldValue(TField& field, const QVariant& value);
    QVariant LookupValue(const TField& field);
    void EnsureCalculated(quint32 slot);
    void RecalcBuffer();
    void LoadBuffer(quint32 slot);
    void MoveField(TField* field, int index);
    void FieldPropertiesChanged(const TField& field);
    void FieldLayoutChanged();

    // Cursor and notifications.
    void MoveTo(int row);
    void ScrollDone();
    void NotifyReset();
    void NotifyRowsChanged(int first, int last);
    void NotifyCurrent();
    bool Quiet() const { return disableCount_ > 0; }
    int RowOfSlot(quint32 slot) const;
    int FindRow(const QString& fieldNames, const QVariantList& values, TLocateOptions options);
    QList<TField*> FieldList(const QString& names) const;
    quint32 NewSlot();
    void InsertAt(int row);
    void InsertRowAt(int row, quint32 slot);
    void RemoveRowAt(int row);

    void WriteBuffer(quint32 slot);
    TRemoteModule Module() const;

    QPointer<TRemoteConnection> remoteServer_;
    QString providerName_;
    QVariantList params_;
    std::vector<std::unique_ptr<TField>> fields_;
    std::vector<TField*> dataFields_;  // data fields in store column order
    int calcColumns_ = 0;

    TDataSetState state_ = TDataSetState::Inactive;
    bool local_ = false;
    TRecordStore store_;
    std::vector<quint32> rows_;    // row -> slot
    std::vector<bool> calcValid_;  // by slot
    int current_ = -1;
    bool bof_ = true;
    bool eof_ = true;
    qint64 scrolledSlot_ = -2;

    // The record being edited or inserted.
    QVariantList buffer_;  // by store column
    bool modified_ = false;
    int restoreRow_ = -1;  // the row to return to when an insert is cancelled

    TContext context_;

    TChangeLog changeLog_;
    bool logChanges_ = true;
    QList<TApplyError> applyErrors_;

    int disableCount_ = 0;
    bool resetPending_ = false;
    bool currentPending_ = false;
};
