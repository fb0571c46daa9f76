#include "printing/PageSequence.h"

#include <QElapsedTimer>

TPageSequence::TPageSequence(const TReport& report) : paginator_(report) {}

TPageSequence::~TPageSequence() = default;

const TPage* TPageSequence::Page(int index)
{
    while (index >= Count() && !paginator_.AtEnd())
        pages_.push_back(paginator_.NextPage());
    return index >= 0 && index < Count() ? &pages_[static_cast<size_t>(index)] : nullptr;
}

bool TPageSequence::LayOutFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    do {
        if (paginator_.AtEnd())
            break;
        pages_.push_back(paginator_.NextPage());
    } while (clock.elapsed() < ms);
    return paginator_.AtEnd();
}
