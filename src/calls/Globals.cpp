#include "Globals.h"

#include <QDate>

int ExpandYear(int twoDigitYear, int currentYear)
{
    // The hundred-year window that starts 50 years before the current year.
    const int pivot = currentYear - 50;
    int year = twoDigitYear + (pivot / 100) * 100;
    if (twoDigitYear < pivot % 100)
        year += 100;
    return year;
}

int ExpandYear(int twoDigitYear)
{
    return ExpandYear(twoDigitYear, QDate::currentDate().year());
}
