#pragma once
// How the receiver turns a received line into a call: the data format in use reads it, a
// matched line becomes a CALL row of the exchange in use, charged by the tariff rules in
// use with the installation's VAT. docs/server.md describes the rules.

#include "schema/CallString.h"
#include "server/Database.h"
#include "server/TariffRules.h"

#include <QStringView>

// A call the reader stored, as the spending limits charge it.
struct TStoredCall {
    int PbxId = 0;
    QString Extension;  // empty when the line had none
    QString PinCode;    // empty when no PIN code was used
    double Charge = 0;  // CHARGE (VAT included); 0 when the call costs nothing or no rule prices it
    TDateTime Received = 0;
};

// Hears of every call stored in a turn of the receiver and of how the turn's transaction
// ended, so that what it does for a call is committed with the call or not at all.
class TStoredCallObserver {
public:
    virtual ~TStoredCallObserver() = default;
    // Inside the transaction that stores the call. Never raises.
    virtual void CallStored(const TStoredCall& call) = 0;
    // After the transaction. Never raise.
    virtual void CallsCommitted() = 0;
    virtual void CallsRolledBack() = 0;
};

class TCallReader {
public:
    enum class TOutcome {
        Stored,         // a CALL row was written
        Blank,          // only blanks and control characters: nothing to do
        Invalid,        // the line does not match the format, or its values do not fit
        NotConfigured,  // no data format or no exchange in use: the line is only logged
        Failed,         // the database refused the row
    };
    struct TResult {
        TOutcome Outcome = TOutcome::Blank;
        QString Message;  // for the LOG table, for every outcome but Stored and Blank
    };

    // Prepares its statement on the database, which must outlive the reader.
    explicit TCallReader(TDatabase& db);

    // Reads the format, the exchange, the tariff rules and the VAT in use again.
    void Reload();
    // Why received lines cannot be stored now; empty when they can.
    const QString& NotConfiguredReason() const { return notConfigured_; }
    int PbxId() const { return pbxId_; }

    // One line as received, line break included, received at the given time.
    TResult Read(QStringView line, TDateTime received);

    // Told of every call stored from now on (null: nobody); not owned.
    void SetObserver(TStoredCallObserver* observer) { observer_ = observer; }

private:
    TDatabase& db_;
    TStatement insert_;
    TCallString format_;
    int pbxId_ = 0;
    TTariffRules rules_;
    double vatPercent_ = 0;
    QString notConfigured_;
    TStoredCallObserver* observer_ = nullptr;
};

// The line without its line break, as stored in CALL.TEXT and the LOG table.
QStringView LineContent(QStringView line);
