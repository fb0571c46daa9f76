#pragma once
// The pages of a report laid out on demand and kept, for the preview: the first page is
// there at once, the others follow in slices of a few milliseconds (so the window stays
// responsive), or at once up to a page that is asked for.
//
//   TPageSequence pages(report);          // raises EExpressionError, EReportError
//   show(pages.Page(0));                  // lays out page 1 only
//   while (!pages.Complete()) pages.LayOutFor(20);   // from a timer
//
// A page holds its placed bands only (see TPaginator), so a 100,000-row report keeps a
// few megabytes.

#include "printing/Paginator.h"

#include <vector>

class TPageSequence {
public:
    explicit TPageSequence(const TReport& report);
    ~TPageSequence();

    const TPaginator& Paginator() const { return paginator_; }
    // Pages laid out so far.
    int Count() const { return static_cast<int>(pages_.size()); }
    bool Complete() const { return paginator_.AtEnd(); }
    // The page at a 0-based index, laying out the pages up to it first; null when the
    // report has fewer pages. Raises as TPaginator::NextPage does.
    const TPage* Page(int index);
    // Lays out pages for about ms milliseconds (at least one page when any is left);
    // returns true when every page is laid out.
    bool LayOutFor(int ms);

private:
    TPaginator paginator_;
    std::vector<TPage> pages_;
};
