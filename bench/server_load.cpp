// Load test of telvane-server (not part of the suite): a demo server process with its
// receiver running, then at once
//   - CLIENTS standard users (default 50), each in its own thread, logging in and, until
//     the load phase ends, making a trivial call (MainRDM GetLanguage) ten times between
//     two reports over the calls;
//   - the exchange simulator sending LINES call lines (default 100,000) unpaced;
//   - a guesser trying wrong administrator passwords on one connection.
// Then, on the quiet server, a probe client's trivial calls for three seconds without and
// three seconds with 1 MiB garbage frames arriving on fresh connections before any
// handshake; and the guesser goes on until it has made GUESSES wrong guesses (default 200,
// which the growing wait of the password checks makes take minutes).
// It prints the lines sent against the lines stored, the p50/p99 latency of the trivial
// call per client, the probe's latencies around the garbage frames, the guesses' duration
// and the server's peak memory, and ends with the summary line.
//
//   bench_server_load [--clients N] [--seconds S] [--lines N] [--guesses N]

#include "common/ProcessStats.h"
#include "server/Database.h"
#include "support/TestServer.h"
#include "support/WireClient.h"

#include <QCborMap>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

const char* const kReport =
    "select c.PHONE, count(*) CALLS, sum(c.DURATION) SECONDS, sum(c.CHARGE) CHARGE from CALL c "
    "group by c.PHONE order by CHARGE desc limit 200";

struct TOptions {
    int Clients = 50;
    int Seconds = 60;
    qint64 Lines = 100000;
    int Guesses = 200;
};

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t index = std::min(values.size() - 1, std::size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

double TimedTrivialCall(TWireClient& client)
{
    QElapsedTimer timer;
    timer.start();
    const TMessage answer = client.Call(kMain, dispid::MainRDM::GetLanguage);
    return answer.Kind == TMessageKind::Reply ? double(timer.nsecsElapsed()) / 1e6 : -1;
}

struct TClientFigures {
    std::vector<double> Latencies;  // ms of the trivial call
    int Reports = 0;
    int Failures = 0;
    bool LoggedIn = false;
};

void RunClient(quint16 port, const std::atomic<bool>& stop, TClientFigures& figures)
{
    TWireClient client;
    figures.LoggedIn = client.OpenAsUser(port);
    if (!figures.LoggedIn)
        return;
    while (!stop.load()) {
        for (int i = 0; i < 10 && !stop.load(); ++i) {
            const double ms = TimedTrivialCall(client);
            if (ms < 0)
                ++figures.Failures;
            else
                figures.Latencies.push_back(ms);
        }
        if (stop.load())
            break;
        const TOpenResult result = client.RunReport(QLatin1String(kReport));
        if (result.Ok)
            ++figures.Reports;
        else
            ++figures.Failures;
    }
}

struct TGuesserFigures {
    std::atomic<int> Guesses{0};
    std::atomic<qint64> DurationMs{-1};  // of the first Guesses wrong guesses
    std::atomic<int> Reconnects{0};
};

void RunGuesser(quint16 port, int guesses, TGuesserFigures& figures)
{
    QElapsedTimer timer;
    timer.start();
    auto client = std::make_unique<TWireClient>();
    bool open = client->Open(port);
    while (figures.Guesses.load() < guesses) {
        if (!open) {
            ++figures.Reconnects;
            client = std::make_unique<TWireClient>();
            open = client->Open(port);
            if (!open)
                continue;
        }
        const TMessage answer = client->Call(kMain, dispid::MainRDM::CheckPassword, {true, QStringLiteral("guess")});
        if (answer.Kind == TMessageKind::Reply && !answer.Result.toBool())
            ++figures.Guesses;
        else
            open = false;
    }
    figures.DurationMs = timer.elapsed();
}

// A frame of 1 MiB whose message kind is garbage, as the first bytes of a connection.
QByteArray GarbageFrame()
{
    QCborMap map;
    map.insert(QStringLiteral("k"), QString(1 << 20, QLatin1Char('x')));
    return FrameBytes(map.toCborValue().toCbor());
}

struct TProbeFigures {
    double P50 = 0, P99 = 0, Max = 0;
};

// drain reads what the server wrote, so that its output pipe never fills and blocks it.
TProbeFigures Probe(TWireClient& probe, int ms, quint16 port, bool garbage, const std::function<void()>& drain)
{
    std::vector<double> latencies;
    std::atomic<bool> stop{false};
    std::thread sender;
    if (garbage)
        sender = std::thread([&] {
            const QByteArray frame = GarbageFrame();
            while (!stop.load()) {
                QTcpSocket socket;
                socket.connectToHost(QHostAddress::LocalHost, port);
                if (socket.waitForConnected(5000)) {
                    socket.write(frame);
                    socket.waitForBytesWritten(5000);
                    socket.waitForDisconnected(2000);
                }
            }
        });
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        latencies.push_back(TimedTrivialCall(probe));
        drain();
    }
    stop = true;
    if (sender.joinable())
        sender.join();
    return {Percentile(latencies, 0.5), Percentile(latencies, 0.99),
            latencies.empty() ? 0 : *std::max_element(latencies.begin(), latencies.end())};
}

qint64 StoredCalls(const QString& path)
{
    TDatabase db(path, TDatabase::TMode::ReadOnly);
    return db.Scalar(QStringLiteral("SELECT COUNT(*) FROM CALL")).toLongLong();
}

bool ParseOptions(const QStringList& args, TOptions& options)
{
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        bool ok = false;
        const qint64 value = args.at(i + 1).toLongLong(&ok);
        if (!ok || value <= 0)
            return false;
        if (args.at(i) == QLatin1String("--clients"))
            options.Clients = int(value);
        else if (args.at(i) == QLatin1String("--seconds"))
            options.Seconds = int(value);
        else if (args.at(i) == QLatin1String("--lines"))
            options.Lines = value;
        else if (args.at(i) == QLatin1String("--guesses"))
            options.Guesses = int(value);
        else
            return false;
    }
    return args.size() % 2 == 1;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    RegisterProtocolTypes();
    TOptions options;
    if (!ParseOptions(app.arguments(), options)) {
        std::fprintf(stderr, "usage: bench_server_load [--clients N] [--seconds S] [--lines N] [--guesses N]\n");
        return 1;
    }
    // The benchmarks land beside the programs.
    if (qEnvironmentVariableIsEmpty("TELVANE_BIN_DIR"))
        qputenv("TELVANE_BIN_DIR", QCoreApplication::applicationDirPath().toLocal8Bit());
    const QString binDir = qEnvironmentVariable("TELVANE_BIN_DIR");

    TServerProcess server;
    QString error;
    if (!server.Start({QStringLiteral("--demo"), QStringLiteral("--receiver-port"), QStringLiteral("0"),
                       QStringLiteral("--start-receiver")},
                      &error, 120000)) {
        std::fprintf(stderr, "the server did not start: %s\n", qPrintable(error));
        return 1;
    }
    static const QRegularExpression receiverRe(QStringLiteral("listening for call data on port (\\d+)"));
    quint16 receiverPort = 0;
    for (QDeadlineTimer deadline(30000); !receiverPort && !deadline.hasExpired();) {
        const QRegularExpressionMatch m = receiverRe.match(server.Output());
        if (m.hasMatch())
            receiverPort = quint16(m.captured(1).toUInt());
        else
            server.Process().waitForReadyRead(100);
    }
    if (!receiverPort) {
        std::fprintf(stderr, "the receiver did not start:\n%s\n", qPrintable(server.Output()));
        return 1;
    }
    const quint16 port = server.Port();
    // The server logs every connection on its standard output; unread, the pipe fills and
    // the server's next log line blocks it.
    const std::function<void()> drain = [&server] { server.Output(); };
    const qint64 callsBefore = StoredCalls(server.DatabasePath());
    std::printf("server on port %u, receiver on port %u, %lld calls stored\n", port, receiverPort,
                qlonglong(callsBefore));

    // The load phase.
    std::atomic<bool> stop{false};
    std::atomic<int> finished{0};
    TGuesserFigures guesser;
    std::thread guesserThread(RunGuesser, port, options.Guesses, std::ref(guesser));
    std::vector<TClientFigures> clients(std::size_t(options.Clients));
    std::vector<std::thread> threads;
    for (TClientFigures& figures : clients)
        threads.emplace_back([&, port] {
            RunClient(port, stop, figures);
            ++finished;
        });
    QProcess simulator;
    // It prints every line it sends; nothing reads that here.
    simulator.setStandardOutputFile(QProcess::nullDevice());
    simulator.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer simClock;
    simClock.start();
    simulator.start(binDir + QStringLiteral("/telvane-pbx-sim"),
                    {QStringLiteral("--port"), QString::number(receiverPort), QStringLiteral("--rate"), QStringLiteral("0"),
                     QStringLiteral("--count"), QString::number(options.Lines)});
    QElapsedTimer phase;
    phase.start();
    while (phase.elapsed() < options.Seconds * 1000LL) {
        server.Process().waitForReadyRead(100);
        drain();
    }
    stop = true;
    while (finished.load() < options.Clients) {
        server.Process().waitForReadyRead(100);
        drain();
    }
    for (std::thread& t : threads)
        t.join();
    for (QDeadlineTimer deadline(600000); simulator.state() != QProcess::NotRunning && !deadline.hasExpired();) {
        simulator.waitForFinished(100);
        drain();
    }
    const bool simulatorDone = simulator.state() == QProcess::NotRunning;
    const qint64 simMs = simClock.elapsed();
    const qint64 sent = simulatorDone && simulator.exitCode() == 0 ? options.Lines : -1;
    qint64 stored = 0;
    for (QDeadlineTimer deadline(120000); !deadline.hasExpired(); server.Process().waitForReadyRead(200)) {
        drain();
        stored = StoredCalls(server.DatabasePath()) - callsBefore;
        if (stored >= options.Lines)
            break;
    }

    std::printf("\nexchange: %lld lines sent (%s, %.1f s), %lld stored, %lld lost\n", qlonglong(sent),
                simulatorDone ? "finished" : "still running", double(simMs) / 1000, qlonglong(stored),
                qlonglong(options.Lines - stored));
    if (sent < 0)
        std::printf("the simulator ended with exit code %d\n", simulator.exitCode());
    std::vector<double> all, p99s;
    int reports = 0, failures = 0, loggedIn = 0;
    std::printf("\nclient  calls  reports  p50 ms  p99 ms\n");
    for (std::size_t i = 0; i < clients.size(); ++i) {
        const TClientFigures& c = clients[i];
        loggedIn += c.LoggedIn ? 1 : 0;
        reports += c.Reports;
        failures += c.Failures;
        all.insert(all.end(), c.Latencies.begin(), c.Latencies.end());
        p99s.push_back(Percentile(c.Latencies, 0.99));
        std::printf("%6zu %6zu %8d %7.2f %7.2f\n", i + 1, c.Latencies.size(), c.Reports, Percentile(c.Latencies, 0.5),
                    Percentile(c.Latencies, 0.99));
    }
    std::printf("all clients: %d logged in, %zu trivial calls, %d reports, %d failures; p50 %.2f ms, p99 %.2f ms, "
                "worst client's p99 %.2f ms\n",
                loggedIn, all.size(), reports, failures, Percentile(all, 0.5), Percentile(all, 0.99),
                p99s.empty() ? 0 : *std::max_element(p99s.begin(), p99s.end()));

    // Garbage frames on the quiet server.
    TWireClient probe;
    TProbeFigures quiet, garbage;
    if (probe.OpenAsUser(port)) {
        quiet = Probe(probe, 3000, port, false, drain);
        garbage = Probe(probe, 3000, port, true, drain);
    }
    std::printf("\nprobe without garbage frames: p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", quiet.P50, quiet.P99, quiet.Max);
    std::printf("probe with 1 MiB garbage frames arriving: p50 %.2f ms, p99 %.2f ms, max %.2f ms (freeze: max - "
                "quiet max = %.2f ms)\n",
                garbage.P50, garbage.P99, garbage.Max, qMax(0.0, garbage.Max - quiet.Max));

    while (guesser.DurationMs.load() < 0) {
        server.Process().waitForReadyRead(200);
        drain();
    }
    guesserThread.join();
    std::printf("\nguesser: %d wrong guesses in %.1f s (%d reconnections)\n", guesser.Guesses.load(),
                double(guesser.DurationMs.load()) / 1000, guesser.Reconnects.load());
    const long peakKb = PeakKbOf(server.Process().processId());
    std::printf("server peak memory: %.1f MiB\n", double(peakKb) / 1024);
    server.Terminate();

    std::printf("\nserver_load: %d clients, %lld/%lld lines stored, trivial call p50 %.2f ms p99 %.2f ms, "
                "garbage-frame freeze %.0f ms, %d guesses in %.1f s, server peak %.1f MiB\n",
                loggedIn, qlonglong(stored), qlonglong(options.Lines), Percentile(all, 0.5), Percentile(all, 0.99),
                qMax(0.0, garbage.Max - quiet.Max), guesser.Guesses.load(), double(guesser.DurationMs.load()) / 1000,
                double(peakKb) / 1024);
    return stored == options.Lines && loggedIn == options.Clients ? 0 : 1;
}
