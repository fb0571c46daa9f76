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
// The command queue.
inline constexpr char QueueEnabled[] = "command_queue_enabled";     // 0 or 1
inline constexpr char ControlProtocol[] = "control_protocol";       // 0 to 3
inline constexpr char CommandRetryMs[] = "command_retry_interval";  // milliseconds
}  // namespace setting

inline constexpr int DefaultReceiverPort = 9100;
inline constexpr int DefaultReceiverBufferSize = 64 * 1024;
inline constexpr int DefaultReceiverConnections = 1;
inline constexpr int DefaultReceiverPauseKb = 48;
inline constexpr int DefaultReceiverResumeKb = 16;
inline constexpr int DefaultCommandRetryMs = 10000;

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
