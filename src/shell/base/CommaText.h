#pragma once
// Comma text: a list of items in one line, separated by commas, an item double-quoted
// (inner quotes doubled) when it holds blanks, commas or quotes. The server history of the
// settings file is kept so.

#include <QString>
#include <QStringList>

// Unquoted items end at a comma or a blank; blanks between items are skipped.
// Two commas with nothing between them, and a comma at the end, stand for empty items.
QStringList SplitCommaText(const QString& text);
// An empty item is written as "" unless quoteEmpty is false, when it is written as nothing.
QString JoinCommaText(const QStringList& items, bool quoteEmpty = true);
