#include "shell/base/ExecExtern.h"
#include "shell/base/Executor.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <thread>

class TestExecutor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void postedCallsKeepTheirOrder_data()
    {
        QTest::addColumn<bool>("fromWorker");
        QTest::newRow("from the main thread") << false;
        QTest::newRow("from a worker thread") << true;
    }
    void postedCallsKeepTheirOrder()
    {
        QFETCH(bool, fromWorker);
        TExecutor executor;
        QList<int> order;
        QList<QThread*> threads;
        int data[50];
        const auto post = [&] {
            for (int i = 0; i < 50; ++i) {
                data[i] = i;
                executor.RunOnMainThread(
                    false,
                    [&](void* datum) {
                        order.append(*static_cast<int*>(datum));
                        threads.append(QThread::currentThread());
                    },
                    &data[i]);
            }
        };
        if (fromWorker) {
            std::thread worker(post);
            worker.join();
        } else {
            post();
            // Posted, not run: the call waits for the event loop.
            QVERIFY(order.isEmpty());
        }
        QTRY_COMPARE(order.size(), 50);
        for (int i = 0; i < 50; ++i)
            QCOMPARE(order[i], i);
        QVERIFY(std::all_of(threads.cbegin(), threads.cend(),
                            [](QThread* thread) { return thread == QThread::currentThread(); }));
    }

    void waitingCallFromWorkerBlocksUntilDone()
    {
        TExecutor executor;
        QThread* const mainThread = QThread::currentThread();
        std::atomic<bool> ran{false};
        std::atomic<bool> ranOnMain{false};
        std::atomic<bool> ranBeforeReturn{false};
        std::atomic<bool> workerDone{false};
        std::thread worker([&] {
            executor.RunOnMainThread(
                true,
                [&](void*) {
                    ranOnMain = QThread::currentThread() == mainThread;
                    ran = true;
                },
                nullptr);
            ranBeforeReturn = ran.load();
            workerDone = true;
        });
        QTRY_VERIFY(workerDone);
        worker.join();
        QVERIFY(ranBeforeReturn);
        QVERIFY(ranOnMain);
    }

    void waitingCallOnTheMainThreadRunsDirectly()
    {
        TExecutor executor;
        bool ran = false;
        executor.RunOnMainThread(
            true, [&](void*) { ran = true; }, nullptr);
        QVERIFY(ran);
    }

    void failuresRaise_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("withDirectory");
        QTest::newRow("missing document") << "missing/TelvaneControl.chm" << false;
        QTest::newRow("missing program") << "missing/telvane-tool" << true;
        QTest::newRow("empty name") << "" << false;
        QTest::newRow("program with a missing working directory") << "tool.sh" << true;
    }
    void failuresRaise()
    {
        QFETCH(QString, file);
        QFETCH(bool, withDirectory);
        QTemporaryDir dir;
        const QString path = file.isEmpty() ? file : dir.filePath(file);
        if (file == QLatin1String("tool.sh")) {
            QFile script(path);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write("#!/bin/sh\nexit 0\n");
            script.close();
            QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
        try {
            if (withDirectory)
                RunProgram(path, QStringLiteral("--x"), dir.filePath(QStringLiteral("no such dir")), 1);
            else
                RunFile(path, QString(), 1);
            QFAIL("no exception");
        } catch (const EOSError& error) {
            QVERIFY2(error.Message().contains(QLatin1Char('"') + path + QStringLiteral("\": ")),
                     qPrintable(error.Message()));
            QVERIFY(!error.Message().endsWith(QStringLiteral(": ")));
            QCOMPARE(error.ClassName(), QStringLiteral("EOSError"));
        }
    }
};

QTEST_MAIN(TestExecutor)
#include "tst_executor.moc"
