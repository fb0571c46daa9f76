#include "printing/CsvExport.h"

#include "printing/Paginator.h"
#include "printing/PrintProgress.h"

#include <QCoreApplication>
#include <QIODevice>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("TCsvExport", text);
}

void Write(QIODevice& device, const QByteArray& bytes)
{
    if (device.write(bytes) != bytes.size())
        throw EInOutError(Tr("Cannot write the comma-separated text: %1").arg(device.errorString()));
}

// The records of one page: per placed band, its texts by height (0.01 mm apart counts as
// one line), each line left to right.
QByteArray PageRecords(const std::vector<TPlacedElement>& elements)
{
    QByteArray out;
    size_t i = 0;
    while (i < elements.size()) {
        const int band = elements[i].PlacedBand;
        std::map<long long, std::vector<const TPlacedElement*>> lines;
        for (; i < elements.size() && elements[i].PlacedBand == band; ++i)
            if (elements[i].Kind == TPlacedElement::TKind::Text)
                lines[std::llround(elements[i].Rect.top() * 100)].push_back(&elements[i]);
        for (auto& [top, texts] : lines) {
            std::stable_sort(texts.begin(), texts.end(),
                             [](const TPlacedElement* a, const TPlacedElement* b) {
                                 return a->Rect.left() < b->Rect.left();
                             });
            QStringList fields;
            for (const TPlacedElement* text : texts)
                fields.append(CsvField(text->Text));
            out += fields.join(QLatin1Char(',')).toUtf8();
            out += "\r\n";
        }
    }
    return out;
}

}  // namespace

QString CsvField(const QString& text)
{
    static const QString special = QStringLiteral(",\"\r\n");
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return special.contains(c); }))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool WriteCsv(const TReport& report, QIODevice& device, TPrintProgress* progress)
{
    TPaginator paginator(report);
    TProgressScope scope(progress, Tr("Exporting..."), paginator.RowCount());
    Write(device, QByteArray("\xEF\xBB\xBF"));
    while (!paginator.AtEnd()) {
        const TPage page = paginator.NextPage();
        Write(device, PageRecords(paginator.PlaceElements(page)));
        if (!scope.Advance(paginator.RowsDone()))
            return false;
    }
    return true;
}

bool WriteCsv(const TReport& report, const QString& fileName, TPrintProgress* progress)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EInOutError(Tr("Cannot write \"%1\": %2").arg(fileName, file.errorString()));
    if (!WriteCsv(report, file, progress)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        throw EInOutError(Tr("Cannot write \"%1\": %2").arg(fileName, file.errorString()));
    return true;
}
