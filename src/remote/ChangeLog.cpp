#include "remote/ChangeLog.h"

#include "core/Errors.h"
#include "core/Variants.h"
#include "remote/Field.h"
#include "remote/RecordStore.h"

#include <QSet>

#include <algorithm>

namespace {

QVariantList StoredValues(const TRecordStore& store, qint64 slot, int columns)
{
    QVariantList values;
    values.reserve(columns);
    for (int col = 0; col < columns; ++col)
        values.append(store.Value(static_cast<quint32>(slot), col));
    return values;
}

}  // namespace

void TChangeLog::Clear()
{
    entries_.clear();
    entryOfSlot_.clear();
    baseline_.clear();
    live_ = 0;
}

void TChangeLog::ClearIfEmpty()
{
    if (live_ == 0)
        Clear();
}

std::optional<TChangeKind> TChangeLog::KindOf(quint32 slot) const
{
    const auto it = entryOfSlot_.constFind(slot);
    if (it == entryOfSlot_.cend())
        return std::nullopt;
    return entries_[static_cast<size_t>(*it)].Kind;
}

void TChangeLog::Begin(const std::vector<quint32>& rows)
{
    if (live_ == 0)
        baseline_ = rows;
}

void TChangeLog::Add(TChangeKind kind, qint64 oldSlot, qint64 newSlot)
{
    entries_.push_back(TEntry{kind, oldSlot, newSlot, true});
    if (newSlot >= 0)
        entryOfSlot_.insert(static_cast<quint32>(newSlot), static_cast<int>(entries_.size() - 1));
    ++live_;
}

TChangeLog::TEntry* TChangeLog::EntryOf(quint32 slot)
{
    const auto it = entryOfSlot_.constFind(slot);
    return it == entryOfSlot_.cend() ? nullptr : &entries_[static_cast<size_t>(*it)];
}

void TChangeLog::End(TEntry& entry)
{
    if (!entry.Live)
        return;
    if (entry.NewSlot >= 0)
        entryOfSlot_.remove(static_cast<quint32>(entry.NewSlot));
    entry.Live = false;
    --live_;
}

void TChangeLog::Inserted(quint32 slot, const std::vector<quint32>& rows)
{
    if (live_ == 0) {
        baseline_ = rows;
        std::erase(baseline_, slot);
    }
    Add(TChangeKind::Insert, -1, slot);
}

void TChangeLog::Modified(quint32 oldSlot, quint32 newSlot, const std::vector<quint32>& rows)
{
    Begin(rows);
    Add(TChangeKind::Modify, oldSlot, newSlot);
}

void TChangeLog::Deleted(quint32 slot, const std::vector<quint32>& rows)
{
    if (TEntry* entry = EntryOf(slot)) {
        entryOfSlot_.remove(slot);
        if (entry->Kind == TChangeKind::Insert) {
            End(*entry);
        } else {
            entry->Kind = TChangeKind::Delete;
            entry->NewSlot = -1;
        }
    } else {
        Begin(rows);
        Add(TChangeKind::Delete, slot, -1);
    }
    ClearIfEmpty();
}

std::optional<TChangeLog::TReverted> TChangeLog::Revert(quint32 slot)
{
    TEntry* entry = EntryOf(slot);
    if (!entry)
        return std::nullopt;
    const TReverted reverted{entry->Kind == TChangeKind::Insert, static_cast<quint32>(entry->OldSlot)};
    End(*entry);
    ClearIfEmpty();
    return reverted;
}

std::vector<quint32> TChangeLog::TakeBaseline()
{
    std::vector<quint32> baseline = std::move(baseline_);
    Clear();
    return baseline;
}

void TChangeLog::Compact()
{
    std::erase_if(entries_, [](const TEntry& e) { return !e.Live; });
    entryOfSlot_.clear();
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].NewSlot >= 0)
            entryOfSlot_.insert(static_cast<quint32>(entries_[i].NewSlot), static_cast<int>(i));
}

TChangeLog::TDelta TChangeLog::Delta(const TRecordStore& store, int columns) const
{
    TDelta delta;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const TEntry& e = entries_[i];
        if (!e.Live)
            continue;
        TDeltaChange change;
        change.Kind = e.Kind;
        if (e.Kind != TChangeKind::Insert)
            change.Old = StoredValues(store, e.OldSlot, columns);
        if (e.Kind != TChangeKind::Delete) {
            const QVariantList now = StoredValues(store, e.NewSlot, columns);
            for (int col = 0; col < now.size(); ++col) {
                const QVariant& v = now[col];
                if (e.Kind == TChangeKind::Insert)
                    // A field without a value is left to the table's default.
                    change.New.append(VarIsNull(v) ? QVariant() : v);
                else if (TField::SameValue(v, change.Old[col]))
                    change.New.append(QVariant());  // unchanged
                else
                    change.New.append(VarIsNull(v) ? QVariant::fromValue(nullptr) : v);
            }
        }
        delta.Changes.append(std::move(change));
        delta.Entries.push_back(static_cast<int>(i));
    }
    return delta;
}

std::vector<quint32> TChangeLog::TakeApplied(const TDelta& delta, const TMessage& applied, int maxErrors,
                                             TRecordStore& store, int columns,
                                             const std::vector<quint32>& rows)
{
    std::vector<quint32> refreshed;
    if (maxErrors >= 0 && applied.Errors.size() > maxErrors)
        return refreshed;  // rolled back: every change stays pending
    QSet<int> failed;
    for (const TApplyError& e : applied.Errors)
        failed.insert(e.Index);
    QHash<int, const QVariantList*> stored;
    for (const TAppliedRow& row : applied.AppliedRows)
        stored.insert(row.Index, &row.Values);

    QHash<quint32, quint32> replaced;  // fetched slot -> slot that now stands for it
    for (size_t i = 0; i < delta.Entries.size(); ++i) {
        if (failed.contains(static_cast<int>(i)))
            continue;
        TEntry& entry = entries_[static_cast<size_t>(delta.Entries[i])];
        if (entry.Kind != TChangeKind::Delete) {
            const quint32 slot = static_cast<quint32>(entry.NewSlot);
            if (const QVariantList* values = stored.value(static_cast<int>(i))) {
                for (int col = 0; col < values->size() && col < columns; ++col) {
                    try {
                        store.Set(slot, col, TField::Converted(store.ColumnType(col), values->at(col), {}));
                    } catch (const EDatabaseError&) {
                        store.Set(slot, col, values->at(col));
                    }
                }
                refreshed.push_back(slot);
            }
            if (entry.Kind == TChangeKind::Modify)
                replaced.insert(static_cast<quint32>(entry.OldSlot), slot);
        }
        End(entry);
    }
    if (live_ == 0) {
        Clear();
    } else {
        RebuildBaseline(rows, replaced);
        Compact();
    }
    return refreshed;
}

// After a partial apply: the rows as they would be without the changes still pending.
void TChangeLog::RebuildBaseline(const std::vector<quint32>& rows, const QHash<quint32, quint32>& replaced)
{
    std::vector<quint32> base = rows;
    for (const TEntry& e : entries_) {
        if (!e.Live)
            continue;
        if (e.Kind == TChangeKind::Insert) {
            std::erase(base, static_cast<quint32>(e.NewSlot));
        } else if (e.Kind == TChangeKind::Modify) {
            std::replace(base.begin(), base.end(), static_cast<quint32>(e.NewSlot),
                         static_cast<quint32>(e.OldSlot));
        }
    }
    // A pending deletion goes back after the nearest row that preceded it before.
    for (const TEntry& e : entries_) {
        if (!e.Live || e.Kind != TChangeKind::Delete)
            continue;
        const quint32 deleted = static_cast<quint32>(e.OldSlot);
        const auto at = std::find(baseline_.begin(), baseline_.end(), deleted);
        auto insertAt = base.begin();
        for (auto it = at; it != baseline_.begin();) {
            --it;
            const quint32 before = replaced.value(*it, *it);
            const auto found = std::find(base.begin(), base.end(), before);
            if (found != base.end()) {
                insertAt = found + 1;
                break;
            }
        }
        base.insert(insertAt, deleted);
    }
    baseline_ = std::move(base);
}
