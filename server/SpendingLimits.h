#pragma once
// The spending limits of extensions and PIN codes, enforced by the server, and the
// blocking and unblocking of a code on its exchange (docs/server.md section 16 states the
// rule for people).
//
// A code is limited while its LIMIT_PLAN_ID names a plan. Every charged call lowers
// MONEY_LEFT of the codes the rules charge (the extension, the PIN code or both); when
// money is left no more (MONEY_LEFT <= 0) and automatic blocking is on, the code is
// blocked. At NEXT_RESET the plan's MONEY_LIMIT is restored, a code that its limit
// blocked is unblocked and NEXT_RESET moves on by the plan's RESET_INTERVAL (seconds,
// -1 one calendar month) past the present, however many periods went by meanwhile (a
// server that was stopped catches up when it starts). A code without NEXT_RESET starts
// its period when it is first charged or looked at.
//
// Blocking queues the exchange's command through the command queue and stores the state
// in the code's BLOCKED column: 0 not blocked, 1 blocked by an administrator (stays until
// an administrator unblocks it), 2 blocked by its spent limit (lifted by the next reset,
// or as soon as the code has no plan or has money again). The state, the money and the
// command are written in one transaction: a call's charge goes with the call.
//
//   TSpendingLimits limits(db, notifier, queue);
//   receiver.SetCallObserver(&limits);
//   limits.Start();                          // resets that fell due while stopped
//   limits.Block({TCodeKind::Extension, 1, "101"}, false, "Client 3");

#include "core/DateTime.h"
#include "server/CallReader.h"
#include "server/ClientNotifier.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <optional>

class TCommandQueue;
class TDatabase;

enum class TCodeKind { Extension, PinCode };

struct TCodeRef {
    TCodeKind Kind = TCodeKind::Extension;
    int PbxId = 0;
    QString Code;
};

// The values of the BLOCKED column.
namespace blockstate {
inline constexpr int None = 0;
inline constexpr int ByAdministrator = 1;
inline constexpr int ByLimit = 2;
}  // namespace blockstate

// How calls are charged and whether a spent limit blocks: the settings of the options'
// "Limits" page, with their defaults.
struct TLimitRules {
    enum TExtensionCharging { ExtensionNever = 0, ExtensionWithoutPin = 1, ExtensionAlways = 2 };
    int ExtensionCharging = ExtensionWithoutPin;
    bool PinCharged = true;
    bool ExtensionBlocking = true;
    bool PinBlocking = true;

    // Reads the settings; a missing value or one out of range reads as its default.
    static TLimitRules Read(TDatabase& db);
    // Whether a call (with or without a PIN code) is charged to a code of that kind.
    bool Charges(TCodeKind kind, bool pinUsed) const;
    // Whether a spent limit blocks a code of that kind.
    bool Blocks(TCodeKind kind) const;
};

// When a period that ends at `due` (at or before now) is next due: the first of due plus
// 1, 2, ... periods that lies after now. The interval is in seconds; -1 (and any value
// that is no length, 0 or null among them) is one calendar month, which keeps the time of
// day and falls on the month's last day when it is shorter. Never raises.
TDateTime NextResetAfter(TDateTime due, const QVariant& resetInterval, TDateTime now);

// The command line that blocks or unblocks a code on its exchange: "BLOCK EXTENSION 101
// PBX 1", "UNBLOCK PIN 4711 PBX 2", "BLOCK PIN 4711 PBX 2 ERASE LIST".
QString BlockCommandText(const TCodeRef& code, bool block, bool eraseList);

class TSpendingLimits : public QObject, public TStoredCallObserver {
    Q_OBJECT

public:
    // All of them must outlive the object (the queue until Stop).
    TSpendingLimits(TDatabase& db, TClientNotifier& notifier, TCommandQueue& queue);
    ~TSpendingLimits() override;

    // Reads the rules, applies the resets that fell due (also while the server was
    // stopped) and waits for the next one. Failures are logged, never raised.
    void Start();
    // The queue is going: commands staged from now on wait in COMMAND_QUEUE for the next
    // start, and no reset waits any longer.
    void Stop();

    // Reference data or settings changed: the rules are read again, and limit blocks
    // that no longer hold (the plan gone, money given back) are lifted. Never raises.
    void DataChanged();
    // Applies the resets that are due now and waits for the next one (after an extension
    // or PIN code was saved). Never raises.
    void ApplyDueResets();

    // The administrator's block and unblock: the command is queued and the state stored,
    // whatever the state was. Raise Exception when there is no such code or its command
    // cannot be queued; nothing is changed then. who names the caller in the LOG table.
    void Block(const TCodeRef& code, bool eraseList, const QString& who);
    void Unblock(const TCodeRef& code, const QString& who);

    const TLimitRules& Rules() const { return rules_; }

    void CallStored(const TStoredCall& call) override;
    void CallsCommitted() override;
    void CallsRolledBack() override;

private:
    struct TLimitedRow;
    struct TNotice {
        TSeverity Severity;
        QString Text;
    };

    std::optional<TLimitedRow> FindLimited(const TCodeRef& code);
    void Charge(const TCodeRef& code, double amount, TDateTime now);
    void Reset(TLimitedRow& row, TDateTime now);
    int ResetDue(TCodeKind kind, TDateTime now);
    void LiftStaleBlocks(TCodeKind kind);
    // "UPDATE <the code's table> SET <assignments> WHERE" the code, with the values of the
    // assignments' parameters; the number of rows changed.
    int UpdateCode(const TCodeRef& code, const QString& assignments, const QVariantList& values);
    // Stores the state and stages the command.
    void SetBlocked(const TCodeRef& code, int state, bool eraseList);
    void SetByAdministrator(const TCodeRef& code, bool block, bool eraseList, const QString& who);
    // After the transaction: the staged commands to the queue, the notices to the clients.
    void Publish(const QString& who);
    void Schedule();
    void OnTimer();

    TDatabase& db_;
    TClientNotifier& notifier_;
    TCommandQueue* queue_;
    TLimitRules rules_;
    QList<TNotice> notices_;
    bool staged_ = false;
    QTimer timer_;
};

// A code as people read it: "extension 101 of \"Head office\"".
QString CodeText(const TCodeRef& code, const QString& pbxName);
