#pragma once
// The common encoding of the pages' state lines (and of condition values): elements joined
// by one separator character without escaping; booleans "True"/"False"; integers in
// decimal; reals in the shortest general form with "." whatever the locale. Reading never
// fails: a missing or unreadable element gives the caller's default.
//
//   TStateWriter w;
//   w.AddBool(chkOnOff->isChecked()).AddInt(rgMode->checkedId()).AddReal(low);
//   return w.Join(QLatin1Char('|'));          // "True|1|2.5"
//
//   const TStateReader r(QLatin1Char('|'), line);
//   chkOnOff->setChecked(r.Bool(0, false));
//   SetMode(r.Index(1, 3, 0));                 // clamped to 0..2
//   low = r.Real(2, 0);

#include "calls/Globals.h"

#include <QString>

// StateToBool and StateToInt (Globals.h) read booleans and integers.
QString BoolToState(bool value);
// A radio group's index: the integer (or the default) clamped to 0..itemCount-1; -1 for a
// group without items.
int StateToIndex(const QString& text, int itemCount, int defaultValue);
// A real with "."; anything unreadable or not finite gives the default.
double StateToReal(const QString& text, double defaultValue);

class TStateReader {
public:
    TStateReader(QChar separator, const QString& line) : items_(SplitText(separator, line)) {}

    int Count() const { return static_cast<int>(items_.size()); }
    const TStringArray& Items() const { return items_; }
    // Missing elements give the default.
    QString Text(int index, const QString& defaultValue = QString()) const;
    bool Bool(int index, bool defaultValue) const;
    int Integer(int index, int defaultValue) const;
    int Index(int index, int itemCount, int defaultValue) const;
    double Real(int index, double defaultValue) const;
    // An element read as a line of its own with another separator.
    TStateReader Sub(int index, QChar separator) const { return TStateReader(separator, Text(index)); }

private:
    TStringArray items_;
};

class TStateWriter {
public:
    TStateWriter& AddText(const QString& text);
    TStateWriter& AddBool(bool value);
    TStateWriter& AddInt(int value);
    TStateWriter& AddReal(double value);

    // Joining no elements gives the empty line.
    QString Join(QChar separator) const { return JoinTexts(QString(separator), items_); }

private:
    TStringArray items_;
};
