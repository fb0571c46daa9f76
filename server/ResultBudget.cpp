#include "server/ResultBudget.h"

TResultBudget::TResultBudget(qint64 limit) : shared_(std::make_shared<TShared>())
{
    shared_->Limit = limit;
}

TResultBudget::TLease::~TLease()
{
    shared_->Used.fetch_sub(bytes_);
}

bool TResultBudget::TLease::GrowTo(qint64 bytes)
{
    const qint64 delta = bytes - bytes_;
    qint64 used = shared_->Used.load();
    do {
        if (delta > 0 && used + delta > shared_->Limit)
            return false;
    } while (!shared_->Used.compare_exchange_weak(used, used + delta));
    bytes_ = bytes;
    return true;
}
