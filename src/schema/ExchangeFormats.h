#pragma once
// The data formats of real exchanges' call detail output, written from the column layouts
// their manuals publish. The demo installation offers them as data formats, so that an
// installation with one of these exchanges starts from a format that reads its lines.
//
//   for (const TExchangeFormat& f : ExchangeFormats())
//       insert(f.Name, f.Text);
//
// Each text is canonical (TCallString::GetText gives it back). Never raises.

#include <QList>
#include <QString>

struct TExchangeFormat {
    QString Name;    // as the data formats tab lists it
    QString Text;    // the data format
    QString Layout;  // the columns it reads, for people
};

const QList<TExchangeFormat>& ExchangeFormats();
