#pragma once
// The change log of a dataset: the rows inserted, modified and deleted since the last open
// or apply, one entry a row in the order the rows first changed, the delta that sends them
// to the provider (docs/protocol.md section 6) and the taking of the provider's answer.
// Rows are record slots of the dataset's TRecordStore; a modified row gets a new slot, so
// the slot it was fetched in keeps the old values for the delta and for undoing.
//
//   log.Modified(fetchedSlot, newSlot, rows);   // before rows[i] becomes newSlot
//   const TChangeLog::TDelta delta = log.Delta(store, dataColumns);
//   const TMessage applied = module.ApplyUpdates(provider, maxErrors, delta.Changes);
//   for (quint32 slot : log.TakeApplied(delta, applied, maxErrors, store, dataColumns, rows))
//       ...  // the row in that slot now holds what the server stored
//
// The dataset decides whether edits are logged; this class logs whatever it is told.
// Never raises, but for what TRecordStore raises.

#include "remote/Protocol.h"

#include <QHash>
#include <QList>

#include <optional>
#include <vector>

class TRecordStore;

class TChangeLog {
public:
    // Pending changes (one a row).
    int Count() const { return live_; }
    bool IsEmpty() const { return live_ == 0; }
    void Clear();

    // The change pending for the row whose current slot this is, if any: Insert or Modify
    // (a deleted row has no current slot).
    std::optional<TChangeKind> KindOf(quint32 slot) const;

    // `rows` is the dataset's row order (row -> slot) at the moment of the call.
    // A new row has been posted in `slot`; rows already hold it.
    void Inserted(quint32 slot, const std::vector<quint32>& rows);
    // A fetched row, not changed before, now stands in newSlot; rows still hold oldSlot.
    void Modified(quint32 oldSlot, quint32 newSlot, const std::vector<quint32>& rows);
    // The row in `slot` is deleted; rows still hold it. A row inserted since is forgotten,
    // a modified one becomes a deletion of the row as fetched.
    void Deleted(quint32 slot, const std::vector<quint32>& rows);

    struct TReverted {
        bool Inserted = false;  // the row was new: it goes
        quint32 OldSlot = 0;    // otherwise the slot of the row as fetched
    };
    // Forgets the change of the row whose current slot this is; nothing when it has none.
    std::optional<TReverted> Revert(quint32 slot);

    // The row order before the first pending change; the log is empty afterwards.
    std::vector<quint32> TakeBaseline();

    // The pending changes as the provider takes them, and the entry behind each.
    struct TDelta {
        QList<TDeltaChange> Changes;
        std::vector<int> Entries;
    };
    // `columns`: the store's first columns, the provider's fields in their order.
    TDelta Delta(const TRecordStore& store, int columns) const;
    // Takes the provider's answer to Delta(): nothing is kept after a rollback (more than
    // maxErrors errors, maxErrors >= 0); otherwise every change not listed in its errors
    // leaves the log and its row takes the values the server stored. `rows` is the row
    // order now. Returns, in delta order, the slots that took stored values.
    std::vector<quint32> TakeApplied(const TDelta& delta, const TMessage& applied, int maxErrors,
                                     TRecordStore& store, int columns, const std::vector<quint32>& rows);

private:
    struct TEntry {
        TChangeKind Kind = TChangeKind::Insert;
        qint64 OldSlot = -1;  // the row as fetched (Modify, Delete)
        qint64 NewSlot = -1;  // the row as it is now (Insert, Modify)
        bool Live = true;
    };

    void Begin(const std::vector<quint32>& rows);
    void Add(TChangeKind kind, qint64 oldSlot, qint64 newSlot);
    TEntry* EntryOf(quint32 slot);
    void End(TEntry& entry);
    void ClearIfEmpty();
    void Compact();
    void RebuildBaseline(const std::vector<quint32>& rows, const QHash<quint32, quint32>& replaced);

    std::vector<TEntry> entries_;
    QHash<quint32, int> entryOfSlot_;  // current slot of a changed row -> entry
    int live_ = 0;
    std::vector<quint32> baseline_;  // the rows before the first pending change
};
