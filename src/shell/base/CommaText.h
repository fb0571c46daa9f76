#pragma once
// Comma text: a list of items in one line, separated by commas, an item double-quoted
// (inner quotes doubled) when it holds blanks, commas or quotes. The server history of the
// settings file is kept so.

#include <QString>
#include <QStringList>

// Unquoted items end at a comma or a blank; blanks between items are skipped.
QStringList SplitCommaText(const QString& text);
QString JoinCommaText(const QStringList& items);
