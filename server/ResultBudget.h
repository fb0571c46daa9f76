#pragma once
// The memory that the results of client statements may take together, server-wide. A
// statement takes a lease and grows it as it packs its rows (TRowsPacker's footprint), so a
// result that would go beyond what is left fails while it is being read, not after the
// server has run out of memory; the lease is given back when the last holder of the
// result lets go of it. Safe on any thread.
//
//   auto lease = budget.NewLease();
//   if (!lease->GrowTo(packer.Footprint())) throw Exception(...);

#include <QtGlobal>

#include <atomic>
#include <memory>

class TResultBudget {
    // Shared with the leases, which may outlive the server that made them.
    struct TShared {
        qint64 Limit = 0;
        std::atomic<qint64> Used{0};
    };

public:
    explicit TResultBudget(qint64 limit);

    qint64 Limit() const { return shared_->Limit; }
    qint64 InUse() const { return shared_->Used.load(); }

    class TLease {
    public:
        explicit TLease(std::shared_ptr<TShared> shared) : shared_(std::move(shared)) {}
        ~TLease();
        TLease(const TLease&) = delete;
        TLease& operator=(const TLease&) = delete;

        // Takes (or gives back) the difference to bytes; false when the budget has not that
        // much left, in which case the lease stays as it was.
        bool GrowTo(qint64 bytes);
        qint64 Bytes() const { return bytes_; }
        qint64 BudgetLimit() const { return shared_->Limit; }
        qint64 BudgetInUse() const { return shared_->Used.load(); }

    private:
        std::shared_ptr<TShared> shared_;
        qint64 bytes_ = 0;
    };
    // A lease of nothing yet.
    std::shared_ptr<TLease> NewLease() const { return std::make_shared<TLease>(shared_); }

private:
    std::shared_ptr<TShared> shared_;
};
