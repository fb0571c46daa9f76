#pragma once
// Number texts that do not depend on the locale's conventions beyond the decimal separator.

#include <QString>

// The general form of a real with up to `precision` significant digits and no trailing
// zeros: fixed-point while the value has at most `precision` digits before the point and
// is at least 0.00001 in magnitude, scientific ("1.5E20", "1E-6") otherwise.
QString FloatToStrGeneral(double value, QChar decimalSeparator, int precision = 15);
