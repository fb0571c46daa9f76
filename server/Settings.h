#pragma once
// The server's own settings: one value per name in the SETTINGS table.

#include <QString>
#include <QVariant>

class TDatabase;

namespace setting {
inline constexpr char SchemaVersion[] = "schema_version";
inline constexpr char Language[] = "language";               // 0 Bulgarian, 1 English
inline constexpr char SchemaInUse[] = "data_format_in_use";  // the TEXT of the data format
inline constexpr char PbxInUse[] = "pbx_in_use";             // PBX.ID, 0 for none
inline constexpr char VatPercent[] = "vat_percent";          // VAT added to raw charges
// The receiver: its TCP port (0: any free port), input buffer and whether it runs, so that
// a restarted server resumes receiving.
inline constexpr char ReceiverPort[] = "receiver_port";
inline constexpr char ReceiverBufferSize[] = "receiver_buffer_size";  // bytes
inline constexpr char ReceiverRunning[] = "receiver_running";         // 0 or 1
// Who may connect to the receiver and how it reads: the address it listens on (empty: the
// server's --listen address), the addresses and subnets an exchange may connect from
// (TAddressList; empty: any), how many exchange connections it takes at once, and the
// input buffer levels (KiB) above which it stops reading a connection and below which it
// reads again.
inline constexpr char ReceiverListenAddress[] = "receiver_listen_address";
inline constexpr char ReceiverAllowed[] = "receiver_allowed_addresses";
inline constexpr char ReceiverConnections[] = "receiver_max_connections";
inline constexpr char ReceiverPauseKb[] = "receiver_pause_above";
inline constexpr char ReceiverResumeKb[] = "receiver_resume_below";
// How the receiver gets its lines: over TCP/IP (1, as a server listening on receiver_port
// or as a client connecting to receiver_exchange_address:receiver_port) or over the serial
// port of receiver_serial_port (TSerialPortSettings text); how many calls and how many
// seconds it may keep before writing them; after how many seconds without input it
// restarts.
inline constexpr char ReceiverTcpIp[] = "receiver_tcpip";                     // 0 or 1
inline constexpr char ReceiverSerialPort[] = "receiver_serial_port";          // port settings
inline constexpr char ReceiverExchangeAddress[] = "receiver_exchange_address";  // client mode
inline constexpr char ReceiverIsServer[] = "receiver_is_server";              // 0 or 1
inline constexpr char ReceiverPendingCalls[] = "receiver_max_pending_calls";
inline constexpr char ReceiverPendingDelay[] = "receiver_max_pending_delay";  // seconds
inline constexpr char ReceiverRestartTimeout[] = "receiver_restart_timeout";  // seconds
// Automatic archiving (ArchivesRDM 305/306; the archive scheduler acts on them): on or
// off, the span one archive takes and the span of recent calls it leaves, in days, and
// the moment of the next archive (days since 1899-12-30).
inline constexpr char ArchiveAutomatic[] = "archive_automatic";      // 0 or 1
inline constexpr char ArchivePeriodDays[] = "archive_period_days";   // days
inline constexpr char ArchiveKeepDays[] = "archive_keep_days";       // days
inline constexpr char ArchiveNext[] = "archive_next";                // date and time
// The command queue.
inline constexpr char QueueEnabled[] = "command_queue_enabled";     // 0 or 1
inline constexpr char ControlProtocol[] = "control_protocol";       // 0 to 3
inline constexpr char CommandRetryMs[] = "command_retry_interval";  // milliseconds
// Charging and blocking: extension charging 0 never, 1 when no PIN code is used, 2 always;
// PIN code charging 0 never, 1 always; automatic blocking of each when its limit is used up.
inline constexpr char ExtensionCharging[] = "extension_charging";
inline constexpr char PinCharging[] = "pin_charging";
inline constexpr char ExtensionBlocking[] = "extension_auto_blocking";  // 0 or 1
inline constexpr char PinBlocking[] = "pin_auto_blocking";              // 0 or 1
// The control protocols' settings. Lists are JSON arrays of strings and integers.
inline constexpr char DefinityPort[] = "definity_port";        // port settings
inline constexpr char DefinityStrings[] = "definity_strings";  // user, password, block COR, unblock COR
inline constexpr char DefinityDelays[] = "definity_delays";    // connect, login, command (ms)
inline constexpr char DefinitySimulation[] = "definity_simulation";
inline constexpr char HiPathAddress[] = "hipath_address";
inline constexpr char HiPathPort[] = "hipath_port";
inline constexpr char HiPathStrings[] = "hipath_strings";  // user, password, max. list number
inline constexpr char HiPathDelays[] = "hipath_delays";    // connect, login, command, iteration (ms)
inline constexpr char ModemPort[] = "modem_port";
inline constexpr char ModemAnswers[] = "modem_answers";    // confirmation, success, failure, reserved
inline constexpr char ModemStrings[] = "modem_strings";    // init, send, stop, recover
inline constexpr char ModemDelays[] = "modem_delays";      // connect, confirmation, answer, recover (ms)
inline constexpr char ModemCommands[] = "modem_commands";  // DTMF: block/unblock extension, PIN code
inline constexpr char DirectPort[] = "direct_port";
inline constexpr char DirectDelays[] = "direct_delays";      // connect, between commands (ms)
inline constexpr char DirectCommands[] = "direct_commands";  // block/unblock extension, PIN code
inline constexpr char DirectSharesReceiver[] = "direct_shares_receiver";  // 0 or 1
}  // namespace setting

inline constexpr int DefaultReceiverPort = 9100;
inline constexpr int DefaultReceiverBufferSize = 64 * 1024;
inline constexpr int DefaultReceiverConnections = 1;
inline constexpr int DefaultReceiverPauseKb = 48;
inline constexpr int DefaultReceiverResumeKb = 16;
inline constexpr int DefaultCommandRetryMs = 10000;
// Calls are written as they come (one pending call), at the latest after a second, and a
// receiver silent for a day starts again.
inline constexpr int DefaultReceiverPendingCalls = 1;
inline constexpr int DefaultReceiverPendingDelay = 1;
inline constexpr int DefaultReceiverRestartTimeout = 86400;
inline constexpr double DefaultVatPercent = 20;

// The control protocols, numbered as the options list them.
namespace protocol {
inline constexpr int AvayaDefinity = 0;
inline constexpr int SiemensHiPath = 1;
inline constexpr int Modem = 2;
inline constexpr int DirectCommands = 3;
}  // namespace protocol

class TSettings {
public:
    explicit TSettings(TDatabase& db) : db_(db) {}

    QString String(const char* name, const QString& defaultValue = QString()) const;
    int Int(const char* name, int defaultValue) const;
    double Double(const char* name, double defaultValue) const;
    void SetString(const char* name, const QString& value);
    void SetInt(const char* name, int value);

private:
    QVariant Read(const char* name) const;
    TDatabase& db_;
};
