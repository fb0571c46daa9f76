// The report window's archive page against a demo server: it archives exactly the calls the
// detail filters that are on select, records the values of every detail filter, is enabled
// only with a comment, and shows the filters' summary lines.

#include "calls/CallFieldInfo.h"
#include "reportconfig/FrameArchiver.h"
#include "reportconfig/FrameList.h"
#include "support/DirectSql.h"
#include "support/FilterPagesFixture.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QTest>

namespace {

}  // namespace

class TestArchiverFrame : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void archivesWhatTheFiltersSelect()
    {
        TFilterPagesFixture f(QDate(2024, 3, 31));
        QVERIFY2(f.Ready(), qPrintable(f.Error()));
        QVERIFY(f.Connection.Client.LogIn(true));  // archiving is the administrator's
        // Every call of the demo's period; the phone filter on, the trunk filter off but set.
        f.Apply({{"period", "45000,46000"}, {"phone", "True,False,+088"}, {"trunk", "False,False,+1"}});
        TArchiverFrame frame(&f.Panel, f.Pages.DetailFilters(), f.ReportRDM());
        auto* comment = frame.findChild<QPlainTextEdit*>(QStringLiteral("mmoComment"));
        QAction* create = frame.CreateArchiveAction();
        QVERIFY(!create->isEnabled());
        comment->setPlainText(QStringLiteral("  \n "));
        QVERIFY(!create->isEnabled());
        comment->setPlainText(QStringLiteral("Mobile calls"));
        QVERIFY(create->isEnabled());

        frame.RefreshFilters();
        const QStringList shown = frame.findChild<QPlainTextEdit*>(QStringLiteral("mmoFilters"))
                                      ->toPlainText()
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QStringList summaries;
        for (const TReportFilterFrame* filter : f.Pages.DetailFilters())
            if (!filter->GetSummary().isEmpty())
                summaries << filter->GetSummary();
        QCOMPARE(shown, summaries);

        const QString db = f.Connection.Server.DatabasePath();
        const qint64 all = CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL"));
        const qint64 mobile = CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL WHERE PHONE LIKE '088%'"));
        QVERIFY(mobile > 0 && mobile < all);
        create->trigger();
        QVERIFY(comment->toPlainText().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(CountDirect(db, QStringLiteral("SELECT count(*) FROM ARCHIVE")), qint64(1), 60000);
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT CALL_COUNT FROM ARCHIVE")), mobile);
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL")), all - mobile);
        QCOMPARE(CountDirect(db, QStringLiteral("SELECT count(*) FROM CALL WHERE PHONE LIKE '088%'")), qint64(0));
        // The values of every detail filter, the one that is off too.
        const QStringList filters =
            RunDirect(db, QStringLiteral("SELECT FILTERS FROM ARCHIVE")).Rows.value(0).value(0).toString().split(
                QLatin1Char('\n'));
        QCOMPARE(filters.size(), 19);
        QCOMPARE(filters.at(cfPhone - 1), f.Pages.Phone->GetConditionValue());
        QCOMPARE(filters.at(cfTrunk - 1), f.Pages.Trunk->GetConditionValue());
        QVERIFY(!filters.at(cfTrunk - 1).isEmpty());
        QCOMPARE(RunDirect(db, QStringLiteral("SELECT COMMENT FROM ARCHIVE")).Rows.value(0).value(0).toString(),
                 QStringLiteral("Mobile calls"));
    }
};

QTEST_MAIN(TestArchiverFrame)
#include "tst_archiverframe.moc"
