#include "server/SpendingLimits.h"

#include "server/CommandQueue.h"
#include "server/Database.h"
#include "server/EventLog.h"
#include "server/Settings.h"
#include "server/SqlValues.h"

#include <cmath>
#include <utility>

namespace {

// The longest wait for the next reset: a changed clock is noticed within it.
constexpr int kLongestWaitMs = 3600 * 1000;
// The wait after resets failed, before they are tried again.
constexpr int kRetryWaitMs = 60 * 1000;
const QString kLimitsWho = QStringLiteral("The spending limits");

const char* TableOf(TCodeKind kind)
{
    return kind == TCodeKind::Extension ? "EXTENSION" : "PIN_CODE";
}

// The limited codes of a kind as "t", with their plan "l" and exchange "x".
QString LimitedCodes(TCodeKind kind)
{
    return QStringLiteral("%1 t JOIN LIMIT_PLAN l ON l.ID = t.LIMIT_PLAN_ID JOIN PBX x ON x.ID = t.PBX_ID")
        .arg(QLatin1String(TableOf(kind)));
}

QString TextOfKind(TCodeKind kind)
{
    return kind == TCodeKind::Extension ? QStringLiteral("extension") : QStringLiteral("PIN code");
}

int SettingIn(TSettings& settings, const char* name, int defaultValue, int lowest, int highest)
{
    const int value = settings.Int(name, defaultValue);
    return value >= lowest && value <= highest ? value : defaultValue;
}

std::optional<TDateTime> TimeOf(const TStatement& stmt, int column)
{
    TDateTime value = 0;
    if (stmt.IsNull(column) || !SqlTextToDateTime(stmt.Text(column), value))
        return std::nullopt;
    return value;
}

qint64 MSecsBetween(TDateTime from, TDateTime to)
{
    return std::llround((to - from) * MSecsPerDay);
}

QString Money(double value)
{
    return QString::number(value, 'f', 2);
}

}  // namespace

// ---- rules -------------------------------------------------------------------------------

TLimitRules TLimitRules::Read(TDatabase& db)
{
    TSettings settings(db);
    const TLimitRules defaults;
    TLimitRules rules;
    rules.ExtensionCharging = SettingIn(settings, setting::ExtensionCharging, defaults.ExtensionCharging,
                                        ExtensionNever, ExtensionAlways);
    rules.PinCharged = SettingIn(settings, setting::PinCharging, defaults.PinCharged ? 1 : 0, 0, 1) != 0;
    rules.ExtensionBlocking =
        SettingIn(settings, setting::ExtensionBlocking, defaults.ExtensionBlocking ? 1 : 0, 0, 1) != 0;
    rules.PinBlocking = SettingIn(settings, setting::PinBlocking, defaults.PinBlocking ? 1 : 0, 0, 1) != 0;
    return rules;
}

bool TLimitRules::Charges(TCodeKind kind, bool pinUsed) const
{
    if (kind == TCodeKind::PinCode)
        return pinUsed && PinCharged;
    return ExtensionCharging == ExtensionAlways || (ExtensionCharging == ExtensionWithoutPin && !pinUsed);
}

bool TLimitRules::Blocks(TCodeKind kind) const
{
    return kind == TCodeKind::Extension ? ExtensionBlocking : PinBlocking;
}

// ---- periods and commands ------------------------------------------------------------------

TDateTime NextResetAfter(TDateTime due, const QVariant& resetInterval, TDateTime now)
{
    bool isNumber = false;
    const qint64 seconds = resetInterval.isValid() ? resetInterval.toLongLong(&isNumber) : 0;
    if (isNumber && seconds > 0) {
        const qint64 periodMs = seconds * 1000;
        const qint64 passed = qMax<qint64>(0, MSecsBetween(due, now));
        const qint64 periods = passed / periodMs + 1;
        return IncSeconds(due, static_cast<double>(periods) * static_cast<double>(seconds));
    }
    // Months are counted from the same start, so that 31 January moves to 28 February and
    // then to 31 March, not to 28 March.
    const QDateTime start = DateTimeToQDateTime(due);
    const QDateTime present = DateTimeToQDateTime(now);
    int months = qMax(1, (present.date().year() - start.date().year()) * 12 + present.date().month() -
                             start.date().month());
    while (start.addMonths(months) <= present)
        ++months;
    return DateTimeFromQDateTime(start.addMonths(months));
}

QString BlockCommandText(const TCodeRef& code, bool block, bool eraseList)
{
    QString text = QStringLiteral("%1 %2 %3 PBX %4")
                       .arg(block ? QStringLiteral("BLOCK") : QStringLiteral("UNBLOCK"),
                            code.Kind == TCodeKind::Extension ? QStringLiteral("EXTENSION") : QStringLiteral("PIN"),
                            code.Code)
                       .arg(code.PbxId);
    if (block && eraseList && code.Kind == TCodeKind::PinCode)
        text += QStringLiteral(" ERASE LIST");
    return text;
}

QString CodeText(const TCodeRef& code, const QString& pbxName)
{
    return QStringLiteral("%1 %2 of \"%3\"").arg(TextOfKind(code.Kind), code.Code, pbxName);
}

// ---- the limits ----------------------------------------------------------------------------

struct TSpendingLimits::TLimitedRow {
    TCodeRef Code;
    QString PbxName;
    std::optional<double> MoneyLeft;
    std::optional<TDateTime> NextReset;
    int Blocked = blockstate::None;
    double Limit = 0;
    QVariant Interval;
    QString PlanName;
};

TSpendingLimits::TSpendingLimits(TDatabase& db, TClientNotifier& notifier, TCommandQueue& queue)
    : QObject(nullptr), db_(db), notifier_(notifier), queue_(&queue)
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TSpendingLimits::OnTimer);
}

TSpendingLimits::~TSpendingLimits() = default;

void TSpendingLimits::Start()
{
    rules_ = TLimitRules::Read(db_);
    ApplyDueResets();
}

void TSpendingLimits::Stop()
{
    timer_.stop();
    queue_ = nullptr;
}

std::optional<TSpendingLimits::TLimitedRow> TSpendingLimits::FindLimited(const TCodeRef& code)
{
    TStatement stmt = db_.Prepare(
        QStringLiteral("SELECT t.MONEY_LEFT, t.NEXT_RESET, t.BLOCKED, l.MONEY_LIMIT, l.RESET_INTERVAL, l.NAME, "
                       "x.NAME FROM %1 WHERE t.PBX_ID = ? AND t.CODE = ?")
            .arg(LimitedCodes(code.Kind)));
    stmt.BindInt(1, code.PbxId);
    stmt.BindText(2, code.Code);
    if (!stmt.Step())
        return std::nullopt;
    TLimitedRow row;
    row.Code = code;
    if (!stmt.IsNull(0))
        row.MoneyLeft = stmt.Double(0);
    row.NextReset = TimeOf(stmt, 1);
    row.Blocked = static_cast<int>(stmt.Int(2));
    row.Limit = stmt.Double(3);
    row.Interval = stmt.Value(4);
    row.PlanName = stmt.Text(5);
    row.PbxName = stmt.Text(6);
    return row;
}

int TSpendingLimits::UpdateCode(const TCodeRef& code, const QString& assignments, const QVariantList& values)
{
    TStatement update = db_.Prepare(QStringLiteral("UPDATE %1 SET %2 WHERE PBX_ID = ? AND CODE = ?")
                                        .arg(QLatin1String(TableOf(code.Kind)), assignments));
    int i = 1;
    for (const QVariant& value : values)
        update.Bind(i++, value);
    update.BindInt(i++, code.PbxId);
    update.BindText(i, code.Code);
    update.Step();
    return db_.Changes();
}

void TSpendingLimits::SetBlocked(const TCodeRef& code, int state, bool eraseList)
{
    if (UpdateCode(code, QStringLiteral("BLOCKED = ?"), {state}) == 0)
        throw Exception(QStringLiteral("There is no %1 \"%2\" on the exchange with ID %3.")
                            .arg(TextOfKind(code.Kind), code.Code)
                            .arg(code.PbxId));
    TCommandQueue::Stage(db_, BlockCommandText(code, state != blockstate::None, eraseList));
    staged_ = true;
}

void TSpendingLimits::Reset(TLimitedRow& row, TDateTime now)
{
    // A code charged or looked at for the first time starts its period now.
    const TDateTime next = NextResetAfter(row.NextReset.value_or(now), row.Interval, now);
    UpdateCode(row.Code, QStringLiteral("MONEY_LEFT = ?, NEXT_RESET = ?"),
               {RoundCurrency(row.Limit), DateTimeToSqlText(next)});
    row.MoneyLeft = row.Limit;
    row.NextReset = next;
    if (row.Blocked == blockstate::ByLimit) {
        SetBlocked(row.Code, blockstate::None, false);
        row.Blocked = blockstate::None;
        notices_.append({TSeverity::Information,
                         QStringLiteral("The limit period of %1 began anew: it is unblocked.")
                             .arg(CodeText(row.Code, row.PbxName))});
    }
}

void TSpendingLimits::Charge(const TCodeRef& code, double amount, TDateTime now)
{
    std::optional<TLimitedRow> row = FindLimited(code);
    if (!row)
        return;  // no such code, or no limit
    if (!row->NextReset || *row->NextReset <= now)
        Reset(*row, now);
    const double left = RoundCurrency(row->MoneyLeft.value_or(row->Limit) - amount);
    UpdateCode(code, QStringLiteral("MONEY_LEFT = ?"), {left});
    if (left > 0 || row->Blocked != blockstate::None || !rules_.Blocks(code.Kind))
        return;
    SetBlocked(code, blockstate::ByLimit, false);
    notices_.append({TSeverity::Warning,
                     QStringLiteral("The limit \"%1\" of %2 is spent (money left %3): it is blocked.")
                         .arg(row->PlanName, CodeText(code, row->PbxName), Money(left))});
}

void TSpendingLimits::CallStored(const TStoredCall& call)
{
    if (call.Charge <= 0)
        return;
    const bool pinUsed = !call.PinCode.isEmpty();
    const qsizetype notices = notices_.size();
    const bool staged = staged_;
    try {
        db_.Exec(QStringLiteral("SAVEPOINT charge"));
        for (const TCodeKind kind : {TCodeKind::Extension, TCodeKind::PinCode}) {
            const QString& code = kind == TCodeKind::Extension ? call.Extension : call.PinCode;
            if (!code.isEmpty() && rules_.Charges(kind, pinUsed))
                Charge({kind, call.PbxId, code}, call.Charge, call.Received);
        }
        db_.Exec(QStringLiteral("RELEASE charge"));
    } catch (const Exception& e) {
        // The call stays stored; its charge is undone as a whole.
        try {
            db_.Exec(QStringLiteral("ROLLBACK TO charge; RELEASE charge"));
        } catch (const Exception&) {
            // The receiver's transaction fails as a whole then.
        }
        notices_.resize(notices);
        staged_ = staged;
        notifier_.LogEvent(category::Receiver, TSeverity::Error,
                           QStringLiteral("A call of extension \"%1\" (PIN code \"%2\") could not be charged to "
                                          "its limits: %3")
                               .arg(call.Extension, call.PinCode, e.Message()));
    }
}

void TSpendingLimits::CallsCommitted()
{
    Publish(kLimitsWho);
}

void TSpendingLimits::CallsRolledBack()
{
    notices_.clear();
    staged_ = false;
}

void TSpendingLimits::Publish(const QString& who)
{
    if (staged_ && queue_) {
        try {
            queue_->TakeStaged(who);
        } catch (const Exception& e) {
            notifier_.LogEvent(category::Commands, TSeverity::Error,
                               QStringLiteral("Queued commands could not be read: %1").arg(e.Message()));
        }
    }
    staged_ = false;
    const QList<TNotice> notices = std::exchange(notices_, {});
    for (const TNotice& notice : notices)
        notifier_.Notice(category::Commands, notice.Severity, notice.Text);
}

int TSpendingLimits::ResetDue(TCodeKind kind, TDateTime now)
{
    TStatement due = db_.Prepare(
        QStringLiteral("SELECT t.PBX_ID, t.CODE FROM %1 WHERE t.NEXT_RESET IS NULL OR t.NEXT_RESET <= ?")
            .arg(LimitedCodes(kind)));
    due.BindText(1, DateTimeToSqlText(now));
    QList<TCodeRef> codes;
    while (due.Step())
        codes.append({kind, static_cast<int>(due.Int(0)), due.Text(1)});
    for (const TCodeRef& code : std::as_const(codes))
        if (std::optional<TLimitedRow> row = FindLimited(code))
            Reset(*row, now);
    return static_cast<int>(codes.size());
}

void TSpendingLimits::ApplyDueResets()
{
    const TDateTime now = Now();
    bool done = false;
    try {
        TTransaction tx(db_);
        const int extensions = ResetDue(TCodeKind::Extension, now);
        const int pinCodes = ResetDue(TCodeKind::PinCode, now);
        tx.Commit();
        if (extensions + pinCodes > 0)
            notifier_.LogEvent(category::Commands, TSeverity::Information,
                               QStringLiteral("Limit periods began anew: %1 extension(s), %2 PIN code(s).")
                                   .arg(extensions)
                                   .arg(pinCodes));
        Publish(kLimitsWho);
        done = true;
    } catch (const Exception& e) {
        CallsRolledBack();
        notifier_.LogEvent(category::Commands, TSeverity::Error,
                           QStringLiteral("The limit periods could not be reset: %1").arg(e.Message()));
    }
    if (done)
        Schedule();
    else if (queue_)
        timer_.start(kRetryWaitMs);  // not at once: the same failure would repeat
}

void TSpendingLimits::LiftStaleBlocks(TCodeKind kind)
{
    TStatement stale = db_.Prepare(
        QStringLiteral("SELECT t.PBX_ID, t.CODE, x.NAME, l.ID IS NULL FROM %1 t JOIN PBX x ON x.ID = t.PBX_ID "
                       "LEFT JOIN LIMIT_PLAN l ON l.ID = t.LIMIT_PLAN_ID WHERE t.BLOCKED = ? AND "
                       "(l.ID IS NULL OR coalesce(t.MONEY_LEFT, l.MONEY_LIMIT) > 0)")
            .arg(QLatin1String(TableOf(kind))));
    stale.BindInt(1, blockstate::ByLimit);
    struct TStale {
        TCodeRef Code;
        QString PbxName;
        bool Unlimited;
    };
    QList<TStale> codes;
    while (stale.Step())
        codes.append({{kind, static_cast<int>(stale.Int(0)), stale.Text(1)}, stale.Text(2), stale.Int(3) != 0});
    for (const TStale& s : std::as_const(codes)) {
        SetBlocked(s.Code, blockstate::None, false);
        notices_.append({TSeverity::Information,
                         QStringLiteral("The limit block of %1 is lifted: %2.")
                             .arg(CodeText(s.Code, s.PbxName),
                                  s.Unlimited ? QStringLiteral("it has no limit any more")
                                              : QStringLiteral("it has money left again"))});
    }
}

void TSpendingLimits::DataChanged()
{
    try {
        rules_ = TLimitRules::Read(db_);
        TTransaction tx(db_);
        LiftStaleBlocks(TCodeKind::Extension);
        LiftStaleBlocks(TCodeKind::PinCode);
        tx.Commit();
        Publish(kLimitsWho);
    } catch (const Exception& e) {
        CallsRolledBack();
        notifier_.LogEvent(category::Commands, TSeverity::Error,
                           QStringLiteral("Limit blocks could not be reviewed: %1").arg(e.Message()));
    }
}

void TSpendingLimits::SetByAdministrator(const TCodeRef& code, bool block, bool eraseList, const QString& who)
{
    try {
        TTransaction tx(db_);
        SetBlocked(code, block ? blockstate::ByAdministrator : blockstate::None, eraseList);
        tx.Commit();
    } catch (...) {
        CallsRolledBack();
        throw;
    }
    Publish(who);
}

void TSpendingLimits::Block(const TCodeRef& code, bool eraseList, const QString& who)
{
    SetByAdministrator(code, true, eraseList, who);
}

void TSpendingLimits::Unblock(const TCodeRef& code, const QString& who)
{
    SetByAdministrator(code, false, false, who);
}

void TSpendingLimits::Schedule()
{
    timer_.stop();
    if (!queue_)
        return;
    std::optional<TDateTime> next;
    try {
        for (const TCodeKind kind : {TCodeKind::Extension, TCodeKind::PinCode}) {
            TStatement stmt =
                db_.Prepare(QStringLiteral("SELECT min(t.NEXT_RESET) FROM %1").arg(LimitedCodes(kind)));
            if (!stmt.Step())
                continue;
            const std::optional<TDateTime> due = TimeOf(stmt, 0);
            if (due && (!next || *due < *next))
                next = due;
        }
    } catch (const Exception& e) {
        notifier_.LogEvent(category::Commands, TSeverity::Error,
                           QStringLiteral("The next limit reset could not be read: %1").arg(e.Message()));
    }
    if (!next) {
        timer_.start(kLongestWaitMs);
        return;
    }
    // One millisecond late rather than early: a reset is due at its time, not before.
    const qint64 wait = MSecsBetween(Now(), *next) + 1;
    timer_.start(static_cast<int>(qBound(qint64(0), wait, qint64(kLongestWaitMs))));
}

void TSpendingLimits::OnTimer()
{
    ApplyDueResets();
}
