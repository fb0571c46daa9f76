#pragma once
// The text of a PDF as pdftotext reads it, one string per page, laid out as printed.
//
//   const QStringList pages = PdfPages(fileName);
//   QVERIFY(pages.first().contains(QStringLiteral("Totals:")));

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

inline QStringList PdfPages(const QString& fileName)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty())
        qFatal("pdftotext is missing: run scripts/install-deps (poppler-utils)");
    QProcess process;
    process.start(tool, {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), fileName,
                         QStringLiteral("-")});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        qFatal("pdftotext failed: %s", process.readAllStandardError().constData());
    QStringList pages = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}
