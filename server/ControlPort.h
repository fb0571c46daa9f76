#pragma once
// Where queued commands reach the exchange: the control protocol's own port, opened with
// its settings (the options' exchange control groups), or the exchange attached to the
// receiver.
//
// - Avaya Definity: its serial port; after the connect delay it writes the user name and
//   the password, each followed by the login delay; each command by the command delay.
// - Siemens HiPath: a TCP connection to the exchange's address and port; the same login.
// - Modem: its serial port; after the connect delay the init string (then the recover
//   delay); each command follows the send string and waits the answer delay.
// - Direct commands: its serial port, or the receiver's exchange when the port is shared;
//   each command after the connect delay and then the delay between commands.
// A protocol whose port was never configured (no settings stored) uses the receiver's
// exchange, as a server without options does. Each line is Latin-1 followed by CR LF.
// Empty login and init strings are not written. Everything runs on the server's thread.

#include "server/ClientNotifier.h"
#include "server/LogThrottle.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class QIODevice;
class TDatabase;
class TReceiver;

class TControlPort : public QObject {
    Q_OBJECT

public:
    TControlPort(TDatabase& db, TReceiver& receiver, TClientNotifier& notifier);
    ~TControlPort() override;

    // The settings have changed: the port closes and opens again when a command comes.
    void Reload();
    // Writes one command; false when the port cannot take it now (not open, still logging
    // in or waiting its delay): Ready follows when it can. Opens the port when needed.
    bool WriteLine(const QString& text);
    // True while commands go to the receiver's exchange.
    bool UsesReceiver() const { return usesReceiver_; }

Q_SIGNALS:
    void Ready();

private:
    struct TStep {
        QString Text;
        int DelayMs = 0;
    };
    void ReadSettings();
    void Open();
    void Close();
    void Opened();
    void NextStep();
    void Write(const QString& text);
    void Fail(const QString& why);

    TDatabase& db_;
    TReceiver& receiver_;
    TClientNotifier& notifier_;
    TLogThrottle failures_;
    bool stale_ = true;
    bool usesReceiver_ = true;
    int protocol_ = 0;
    QString serialSettings_;
    QString address_;
    int port_ = 0;
    int connectDelayMs_ = 0;
    int commandDelayMs_ = 0;
    QString commandPrefix_;
    QList<TStep> login_;
    QList<TStep> steps_;  // what remains to be written before commands
    QPointer<QIODevice> device_;
    bool ready_ = false;
    QTimer delay_;
};
