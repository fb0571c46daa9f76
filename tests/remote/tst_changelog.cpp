// The change log: what a sequence of edits sends to the provider, what a partial or
// refused apply keeps pending, and where undone deletions return.

#include "remote/ChangeLog.h"
#include "remote/RecordStore.h"

#include <QTest>

#include <algorithm>

namespace {

// A fetched table of KEY and NAME as a dataset keeps it: records in store slots, the rows
// as an order of slots, edits logged as the dataset logs them.
class TTable {
public:
    explicit TTable(int rows)
    {
        Store.Reset({TFieldType::Integer, TFieldType::WideString});
        for (int key = 1; key <= rows; ++key)
            Rows.push_back(NewRecord(key, QStringLiteral("n%1").arg(key)));
    }

    TRecordStore Store;
    std::vector<quint32> Rows;
    TChangeLog Log;

    // Space-separated edits: "M2=x" sets NAME of key 2 to x ("M2=" clears it), "I9=x" appends
    // key 9, "D2" deletes key 2.
    void Run(const QString& script)
    {
        for (const QString& step : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const int eq = step.indexOf(QLatin1Char('='));
            const int key = step.mid(1, eq < 0 ? -1 : eq - 1).toInt();
            const QVariant name = eq < 0 || eq == step.size() - 1 ? QVariant() : QVariant(step.mid(eq + 1));
            switch (step.at(0).toLatin1()) {
                case 'M':
                    Modify(key, name);
                    break;
                case 'I':
                    Rows.push_back(NewRecord(key, name));
                    Log.Inserted(Rows.back(), Rows);
                    break;
                case 'D': {
                    const auto at = RowOf(key);
                    Log.Deleted(*at, Rows);
                    Rows.erase(at);
                    break;
                }
                default:
                    QFAIL("unknown step");
            }
        }
    }

    // "KEY,NAME" of a slot: "_" for a value not given, "null" for a cleared one.
    static QString Text(const QVariantList& values)
    {
        QStringList out;
        for (const QVariant& v : values)
            out << (!v.isValid() ? QStringLiteral("_") : v.isNull() ? QStringLiteral("null") : v.toString());
        return out.join(QLatin1Char(','));
    }

    // The delta as "kind old>new" entries separated by "; ".
    QString DeltaText() const
    {
        static const char* const kinds[] = {"ins", "mod", "del"};
        QStringList out;
        for (const TDeltaChange& c : Log.Delta(Store, 2).Changes)
            out << QStringLiteral("%1 %2>%3")
                       .arg(QLatin1String(kinds[static_cast<int>(c.Kind)]), Text(c.Old), Text(c.New));
        return out.join(QStringLiteral("; "));
    }

    // "KEY:NAME" of rows, separated by spaces.
    QString RowsText(const std::vector<quint32>& rows) const
    {
        QStringList out;
        for (const quint32 slot : rows)
            out << QStringLiteral("%1:%2").arg(Store.Value(slot, 0).toString(),
                                               Store.Value(slot, 1).toString());
        return out.join(QLatin1Char(' '));
    }

private:
    quint32 NewRecord(int key, const QVariant& name)
    {
        const quint32 slot = Store.AddSlot();
        Store.Set(slot, 0, key);
        Store.Set(slot, 1, name);
        return slot;
    }

    std::vector<quint32>::iterator RowOf(int key)
    {
        return std::find_if(Rows.begin(), Rows.end(),
                            [&](quint32 slot) { return Store.Value(slot, 0).toInt() == key; });
    }

    // As a post does: a row's first change moves it to a new slot, later ones write there.
    void Modify(int key, const QVariant& name)
    {
        const auto at = RowOf(key);
        if (Log.KindOf(*at)) {
            Store.Set(*at, 1, name);
            return;
        }
        const quint32 changed = Store.AddSlot();
        Store.CopySlot(*at, changed);
        Store.Set(changed, 1, name);
        Log.Modified(*at, changed, Rows);
        *at = changed;
    }
};

// The provider's answer: the listed changes fail; unless that rolls everything back, every
// other insert or modify is stored with its NAME in capitals.
TMessage Answer(const TChangeLog::TDelta& delta, const QList<int>& failing, int maxErrors)
{
    TMessage applied;
    applied.Kind = TMessageKind::Applied;
    const bool rolledBack = maxErrors >= 0 && failing.size() > maxErrors;
    for (int i = 0; i < delta.Changes.size(); ++i) {
        const TDeltaChange& c = delta.Changes[i];
        if (failing.contains(i)) {
            applied.Errors.append(TApplyError{i, 9729, QStringLiteral("Key violation.")});
        } else if (c.Kind != TChangeKind::Delete && !rolledBack) {
            QVariantList stored = c.New;
            if (!stored[0].isValid())
                stored[0] = c.Old[0];
            stored[1] = stored[1].isValid() ? stored[1].toString().toUpper() : c.Old[1].toString().toUpper();
            applied.AppliedRows.append(TAppliedRow{i, stored});
        }
    }
    applied.Count = applied.Errors.size();
    return applied;
}

}  // namespace

class TestChangeLog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void deltaOfEdits_data()
    {
        QTest::addColumn<QString>("edits");
        QTest::addColumn<QString>("delta");
        QTest::addColumn<int>("count");
        QTest::newRow("nothing changed") << ""
                                         << "" << 0;
        QTest::newRow("a row modified twice is one change against the row as fetched") << "M2=a M2=b"
                                                                                       << "mod 2,n2>_,b" << 1;
        QTest::newRow("a cleared value is sent as null") << "M2="
                                                         << "mod 2,n2>_,null" << 1;
        QTest::newRow("a value set back to the fetched one is unchanged") << "M2=a M2=n2"
                                                                          << "mod 2,n2>_,_" << 1;
        QTest::newRow("an insert leaves missing values to the table's default") << "I9="
                                                                                << "ins >9,_" << 1;
        QTest::newRow("a row inserted and edited is one insert with its latest values") << "I9=a M9=b"
                                                                                        << "ins >9,b" << 1;
        QTest::newRow("a row inserted and deleted is not sent") << "I9=a D9"
                                                                << "" << 0;
        QTest::newRow("a modified row deleted is deleted as fetched") << "M2=a D2"
                                                                      << "del 2,n2>" << 1;
        QTest::newRow("changes go in the order the rows first changed")
            << "M3=a D1 M3=b I9=c"
            << "mod 3,n3>_,b; del 1,n1>; ins >9,c" << 3;
    }
    void deltaOfEdits()
    {
        QFETCH(QString, edits);
        QFETCH(QString, delta);
        QFETCH(int, count);
        TTable table(3);
        table.Run(edits);
        QCOMPARE(table.DeltaText(), delta);
        QCOMPARE(table.Log.Count(), count);
    }

    void applying_data()
    {
        QTest::addColumn<QString>("edits");
        QTest::addColumn<int>("maxErrors");
        QTest::addColumn<QList<int>>("failing");  // indexes into the delta
        QTest::addColumn<QString>("rows");        // after the answer
        QTest::addColumn<QString>("pending");     // the delta after the answer
        QTest::addColumn<QString>("undone");      // the rows without what is still pending
        const QString edits = QStringLiteral("M1=a I9=b D3");
        QTest::newRow("everything kept") << edits << 0 << QList<int>{} << "1:A 2:n2 9:B"
                                         << ""
                                         << "";
        QTest::newRow("one error with no errors allowed rolls back")
            << edits << 0 << QList<int>{1} << "1:a 2:n2 9:b"
            << "mod 1,n1>_,a; ins >9,b; del 3,n3>"
            << "1:n1 2:n2 3:n3";
        QTest::newRow("two errors with one allowed roll back")
            << edits << 1 << QList<int>{0, 2} << "1:a 2:n2 9:b"
            << "mod 1,n1>_,a; ins >9,b; del 3,n3>"
            << "1:n1 2:n2 3:n3";
        QTest::newRow("one error with one allowed keeps the others")
            << edits << 1 << QList<int>{1} << "1:A 2:n2 9:b"
            << "ins >9,b"
            << "1:A 2:n2";
        QTest::newRow("keep what succeeds") << edits << -1 << QList<int>{0} << "1:a 2:n2 9:B"
                                            << "mod 1,n1>_,a"
                                            << "1:n1 2:n2 9:B";
        QTest::newRow("a refused deletion goes back after the row before it")
            << edits << -1 << QList<int>{2} << "1:A 2:n2 9:B"
            << "del 3,n3>"
            << "1:A 2:n2 3:n3 9:B";
        QTest::newRow("a refused deletion follows the stored version of the row before it")
            << "M1=a D2" << -1 << QList<int>{1} << "1:A 3:n3"
            << "del 2,n2>"
            << "1:A 2:n2 3:n3";
        QTest::newRow("a refused deletion of the first row goes back first")
            << "D1 M2=a" << -1 << QList<int>{0} << "2:A 3:n3"
            << "del 1,n1>"
            << "1:n1 2:A 3:n3";
        QTest::newRow("a refused deletion after a kept one") << "D1 D2" << -1 << QList<int>{1} << "3:n3"
                                                             << "del 2,n2>"
                                                             << "2:n2 3:n3";
    }
    void applying()
    {
        QFETCH(QString, edits);
        QFETCH(int, maxErrors);
        QFETCH(QList<int>, failing);
        QFETCH(QString, rows);
        QFETCH(QString, pending);
        QFETCH(QString, undone);
        TTable table(3);
        table.Run(edits);
        const TChangeLog::TDelta delta = table.Log.Delta(table.Store, 2);
        const TMessage answer = Answer(delta, failing, maxErrors);
        const std::vector<quint32> refreshed =
            table.Log.TakeApplied(delta, answer, maxErrors, table.Store, 2, table.Rows);
        QCOMPARE(table.RowsText(table.Rows), rows);
        QCOMPARE(table.DeltaText(), pending);
        QCOMPARE(table.Log.Count(), pending.isEmpty() ? 0 : int(pending.count(QLatin1Char(';'))) + 1);
        // Exactly the rows that took stored values are reported.
        QCOMPARE(int(refreshed.size()), int(answer.AppliedRows.size()));
        QCOMPARE(table.RowsText(table.Log.TakeBaseline()), undone);
        QVERIFY(table.Log.IsEmpty());
    }

    // An undone change gives the row back as fetched; the last one empties the log.
    void revertingRows()
    {
        TTable table(3);
        table.Run(QStringLiteral("M2=a I9=b"));
        const quint32 modified = table.Rows[1];
        const auto undone = table.Log.Revert(modified);
        QVERIFY(undone && !undone->Inserted);
        QCOMPARE(table.Store.Value(undone->OldSlot, 1), QVariant(QStringLiteral("n2")));
        QVERIFY(!table.Log.Revert(modified));  // nothing pending for it any more
        QCOMPARE(table.Log.Count(), 1);
        const auto inserted = table.Log.Revert(table.Rows.back());
        QVERIFY(inserted && inserted->Inserted);
        QVERIFY(table.Log.IsEmpty());
        QVERIFY(table.Log.TakeBaseline().empty());
    }
};

QTEST_GUILESS_MAIN(TestChangeLog)
#include "tst_changelog.moc"
