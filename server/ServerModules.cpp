#include "server/ServerModules.h"

#include "schema/CallString.h"
#include "remote/CallbackInterfaces.h"
#include "server/ClientConnection.h"
#include "server/Database.h"
#include "server/Passwords.h"
#include "server/Server.h"
#include "server/Settings.h"
#include "server/TableProvider.h"
#include "server/TariffRules.h"

#include <QRegularExpression>

#include <limits>

namespace {

const QList<QPair<TModule, const char*>>& ModuleNames()
{
    static const QList<QPair<TModule, const char*>> names = {
        {TModule::Main, "MainRDM"},
        {TModule::Archives, "ArchivesRDM"},
        {TModule::Admin, "AdminRDM"},
        {TModule::Receiver, "ReceiverRDM"},
        {TModule::Commands, "CommandsRDM"},
        {TModule::Report, "ReportRDM"},
        {TModule::LogsReport, "LogsReportRDM"},
    };
    return names;
}

// ---- arguments -----------------------------------------------------------------------

[[noreturn]] void TypeMismatch(int index, const char* expected, const QVariant& got)
{
    throw EOleSysError(QStringLiteral("Argument %1 must be %2, not %3.")
                           .arg(index + 1)
                           .arg(QLatin1String(expected))
                           .arg(QString::fromLatin1(got.isValid() ? got.typeName() : "null")),
                       hr::DISP_E_TYPEMISMATCH_);
}

bool IsIntegerVariant(const QVariant& v)
{
    const int id = v.metaType().id();
    return id == QMetaType::Int || id == QMetaType::Short || id == QMetaType::LongLong ||
           id == QMetaType::UInt;
}

// Booleans may also come as automation integers (-1 true, 0 false).
bool ArgBool(const TCallContext& c, int i)
{
    const QVariant& v = c.Args.at(i);
    if (v.metaType().id() == QMetaType::Bool)
        return v.toBool();
    if (IsIntegerVariant(v))
        return v.toLongLong() != 0;
    TypeMismatch(i, "a boolean", v);
}

int ArgInt(const TCallContext& c, int i)
{
    const QVariant& v = c.Args.at(i);
    if (IsIntegerVariant(v)) {
        const qint64 value = v.toLongLong();
        if (value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max())
            return static_cast<int>(value);
    }
    TypeMismatch(i, "a 32-bit integer", v);
}

QString ArgString(const TCallContext& c, int i)
{
    const QVariant& v = c.Args.at(i);
    if (VarIsNull(v))
        return QString();
    if (v.metaType().id() == QMetaType::QString)
        return v.toString();
    TypeMismatch(i, "a string", v);
}

TDispatchRef ArgDispatch(const TCallContext& c, int i)
{
    const QVariant& v = c.Args.at(i);
    if (v.metaType() == QMetaType::fromType<TDispatchRef>())
        return v.value<TDispatchRef>();
    TypeMismatch(i, "an interface reference", v);
}

TServer& Server(TCallContext& c)
{
    return c.Client.Server();
}

TAccount AccountOf(bool administrator)
{
    return administrator ? TAccount::Administrator : TAccount::User;
}

// ---- MainRDM -------------------------------------------------------------------------

QVariant Handshake(TCallContext& c)
{
    QList<TDispatchRef> objects;
    for (int i = 0; i < 4; ++i) {
        objects << ArgDispatch(c, i);
        // Callbacks go by position, so an object of another interface would get calls it
        // does not have.
        const TCallbackInterface& expected = CallbackInterfaces().at(i);
        if (objects.last().Iid.compare(expected.Iid, Qt::CaseInsensitive) != 0)
            throw EOleSysError(QStringLiteral("Argument %1 must implement %2 %3, not %4.")
                                   .arg(i + 1)
                                   .arg(expected.Name, expected.Iid, objects.last().Iid),
                               hr::DISP_E_TYPEMISMATCH_);
    }
    const int clientVersion = ArgInt(c, 4);
    ArgInt(c, 5);  // the result variable must be an integer too
    TServer& server = Server(c);
    const int serverVersion = server.Options().ServerVersion;
    if (clientVersion != serverVersion) {
        c.Args[4] = serverVersion;
        c.Args[5] = -1;
        server.LogEvent(category::Client, TSeverity::Warning,
                        QStringLiteral("Client %1 (%2) refused: client version %3, server version %4.")
                            .arg(c.Client.Number())
                            .arg(c.Client.Peer())
                            .arg(clientVersion)
                            .arg(serverVersion));
        return QVariant();
    }
    c.Client.SetCallbackObjects(objects);
    if (!c.Client.Accepted()) {
        c.Client.SetAccepted(true);
        const int max = server.Options().MaxClients;
        if (max > 0 && server.AcceptedClients() > max)
            c.Client.SendAwayAfterReply();
        else
            server.LogEvent(category::Client, TSeverity::Information,
                            QStringLiteral("Client %1 (%2) connected, version %3.")
                                .arg(c.Client.Number())
                                .arg(c.Client.Peer())
                                .arg(clientVersion));
    }
    c.Args[5] = 0;
    // The live displays start from the server's current state.
    c.Client.RunAfterReply([&server, &client = c.Client] {
        if (!client.SendingAway())
            server.SendLiveState(client);
    });
    return QVariant();
}

QVariant CheckPassword(TCallContext& c)
{
    const bool administrator = ArgBool(c, 0);
    const QString password = ArgString(c, 1);
    const bool right = TPasswords(Server(c).Database()).Verify(AccountOf(administrator), password);
    if (right) {
        c.Client.RaiseLevel(administrator ? level::Administrator : level::User);
    } else {
        Server(c).LogEvent(
            category::Client, TSeverity::Warning,
            QStringLiteral("Client %1 (%2): wrong %3 password.")
                .arg(c.Client.Number())
                .arg(c.Client.Peer())
                .arg(administrator ? QStringLiteral("administrator") : QStringLiteral("standard user")));
    }
    return QVariant(right);
}

QVariant ChangePassword(TCallContext& c)
{
    const bool administrator = ArgBool(c, 0);
    const QString current = ArgString(c, 1);
    const QString replacement = ArgString(c, 2);
    TPasswords passwords(Server(c).Database());
    if (!passwords.Verify(AccountOf(administrator), current))
        return QVariant(false);
    passwords.Set(AccountOf(administrator), replacement);
    Server(c).LogEvent(
        category::Client, TSeverity::Information,
        QStringLiteral("Client %1 changed the %2 password.")
            .arg(c.Client.Number())
            .arg(administrator ? QStringLiteral("administrator") : QStringLiteral("standard user")));
    return QVariant(true);
}

QVariant EnableLiveData(TCallContext& c)
{
    c.Client.SetLiveDataEnabled(ArgBool(c, 0));
    return QVariant();
}

QVariant GetLanguage(TCallContext& c)
{
    return QVariant(TSettings(Server(c).Database()).Int(setting::Language, 1));
}

QVariant SetLanguage(TCallContext& c)
{
    const int language = ArgInt(c, 0);
    if (language != 0 && language != 1)
        throw Exception(
            QStringLiteral("The language must be 0 (Bulgarian) or 1 (English), not %1.").arg(language));
    TSettings(Server(c).Database()).SetInt(setting::Language, language);
    return QVariant();
}

// ---- AdminRDM ------------------------------------------------------------------------

QVariant DataFormatInUse(TCallContext& c)
{
    return QVariant(TSettings(Server(c).Database()).String(setting::SchemaInUse));
}

QVariant PbxInUse(TCallContext& c)
{
    TDatabase& db = Server(c).Database();
    const int id = TSettings(db).Int(setting::PbxInUse, 0);
    // An exchange deleted since it was chosen is no longer in use.
    const bool exists = db.Scalar(QStringLiteral("SELECT count(*) FROM PBX WHERE ID = ?"), {id}).toInt() > 0;
    return QVariant(exists ? id : 0);
}

QVariant TariffRulesInUse(TCallContext& c)
{
    return QVariant(TariffRuleSetsInUse(Server(c).Database()).join(QStringLiteral(", ")));
}

QVariant CheckDataFormat(TCallContext& c)
{
    const QString text = ArgString(c, 0);
    TCallString format;
    const bool valid = !text.isEmpty() && format.Parse(text);
    c.Client.SetCheckedDataFormat(valid ? std::optional<QString>(text) : std::nullopt);
    return QVariant(valid);
}

QVariant UseCheckedDataFormat(TCallContext& c)
{
    const std::optional<QString>& text = c.Client.CheckedDataFormat();
    if (!text)
        throw Exception(
            QStringLiteral("No valid data format has been checked (AdminRDM 302) on this connection."));
    TServer& server = Server(c);
    // Kept as it was sent, so that the client finds its row by comparing the texts.
    TSettings(server.Database()).SetString(setting::SchemaInUse, *text);
    server.DataChanged();
    server.Notice(
        category::Receiver, TSeverity::Information,
        QStringLiteral("Client %1 chose the data format in use: %2").arg(c.Client.Number()).arg(*text));
    return QVariant();
}

QVariant UsePbx(TCallContext& c)
{
    const int id = ArgInt(c, 0);
    TServer& server = Server(c);
    TDatabase& db = server.Database();
    const QVariant name = db.Scalar(QStringLiteral("SELECT NAME FROM PBX WHERE ID = ?"), {id});
    if (!name.isValid())
        throw Exception(QStringLiteral("There is no exchange with ID %1.").arg(id));
    TSettings(db).SetInt(setting::PbxInUse, id);
    server.DataChanged();
    server.Notice(category::Receiver, TSeverity::Information,
                  QStringLiteral("Client %1 chose the exchange in use: \"%2\" (ID %3)")
                      .arg(c.Client.Number())
                      .arg(name.toString())
                      .arg(id));
    return QVariant();
}

QVariant CheckTariffRules(TCallContext& c)
{
    QString error;
    const QString normal = NormaliseTariffRules(ArgString(c, 0), &error);
    if (normal.isEmpty())
        c.Client.Notify(TCallbackTarget::Application, QStringLiteral("LogMessage"),
                        {QStringLiteral("The tariff rules are not valid. %1").arg(error),
                         static_cast<int>(TSeverity::Warning)});
    return QVariant(normal);
}

QVariant SetFilterClause(TCallContext& c)
{
    const QString query = ArgString(c, 0);
    const QString clause = ArgString(c, 1);
    TProviderKind kind;
    if (query == QLatin1String("qryExtension"))
        kind = TProviderKind::ExtensionQuery;
    else if (query == QLatin1String("qryPinCode"))
        kind = TProviderKind::PinCodeQuery;
    else
        throw EOleSysError(QStringLiteral("Unknown query \"%1\".").arg(query), hr::DISP_E_UNKNOWNNAME_);
    if (clause.trimmed().isEmpty()) {
        c.Client.SetRowFilter(kind, std::nullopt);
        return QVariant();
    }
    // Only the three clauses the administration sends are understood; the server builds
    // its own SQL from them, so no client text reaches the statement.
    static const QRegularExpression re(
        QStringLiteral("^\\s*where\\s+(PBX_ID|GROUP_ID|LIMIT_PLAN_ID)\\s*=\\s*(-?\\d{1,10})\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(clause);
    bool ok = false;
    const qint64 value = m.hasMatch() ? m.captured(2).toLongLong(&ok) : 0;
    if (!ok || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        throw Exception(QStringLiteral("The filter clause \"%1\" is refused: only \"where PBX_ID = n\", "
                                       "\"where GROUP_ID = n\" and \"where LIMIT_PLAN_ID = n\" are accepted.")
                            .arg(clause));
    c.Client.SetRowFilter(kind, TRowFilter{m.captured(1).toUpper(), value});
    return QVariant();
}

// ---- ReceiverRDM, CommandsRDM --------------------------------------------------------

QVariant ToggleReceiver(TCallContext& c)
{
    TServer& server = Server(c);
    TReceiver& receiver = server.Receiver();
    const bool start = !receiver.Running();
    if (start)
        receiver.Start();
    else
        receiver.Stop();
    // A restarted server resumes what the administrator chose last.
    TSettings(server.Database()).SetInt(setting::ReceiverRunning, start ? 1 : 0);
    return QVariant();
}

QString Who(const TCallContext& c)
{
    return QStringLiteral("Client %1").arg(c.Client.Number());
}

QVariant ToggleQueue(TCallContext& c)
{
    TCommandQueue& queue = Server(c).CommandQueue();
    queue.SetEnabled(!queue.Enabled());
    return QVariant();
}

QVariant QueueContents(TCallContext& c)
{
    const QList<TCommandQueue::TCommand>& commands = Server(c).CommandQueue().Commands();
    if (commands.isEmpty()) {
        c.Args[0] = QVariant();
        c.Args[1] = QVariant();
        return QVariant();
    }
    QVariantList texts, retries;
    for (const TCommandQueue::TCommand& command : commands) {
        texts << command.Text;
        retries << command.RetryCount;
    }
    c.Args[0] = texts;
    c.Args[1] = retries;
    return QVariant();
}

// ---- ReportRDM, LogsReportRDM --------------------------------------------------------

QVariant RunStatement(TCallContext& c, TResultSlot slot)
{
    const QString sql = ArgString(c, 0);
    Server(c).CheckReportSql(sql);
    c.Client.StartQuery(slot, sql);
    return QVariant();
}

QVariant ChooseCatalogTable(TCallContext& c)
{
    const QString provider = ArgString(c, 0);
    const QString table = ArgString(c, 1);
    TProviderKind kind;
    QStringList tables;
    if (provider == QLatin1String("dspEPGroup")) {
        kind = TProviderKind::EPGroup;
        tables = {QStringLiteral("PBX"), QStringLiteral("GROUPS"), QStringLiteral("LIMIT_PLAN")};
    } else if (provider == QLatin1String("dspExtPin") || provider == QLatin1String("dspSimpleModeExtPin")) {
        kind = provider == QLatin1String("dspExtPin") ? TProviderKind::ExtPin : TProviderKind::SimpleExtPin;
        tables = {QStringLiteral("EXTENSION"), QStringLiteral("PIN_CODE")};
    } else {
        throw EOleSysError(QStringLiteral("Unknown provider \"%1\".").arg(provider), hr::DISP_E_UNKNOWNNAME_);
    }
    const qsizetype at = tables.indexOf(table.toUpper());
    if (at < 0)
        throw Exception(QStringLiteral("%1 cannot serve the table \"%2\"; it serves %3.")
                            .arg(provider, table, tables.join(QStringLiteral(", "))));
    c.Client.SetCatalogTable(kind, tables.at(at));
    return QVariant();
}

}  // namespace

QString ModuleName(TModule module)
{
    for (const auto& [m, name] : ModuleNames())
        if (m == module)
            return QLatin1String(name);
    return QStringLiteral("?");
}

std::optional<TModule> ChildModuleByName(const QString& name)
{
    for (const auto& [m, moduleName] : ModuleNames())
        if (m != TModule::Main && name == QLatin1String(moduleName))
            return m;
    return std::nullopt;
}

QString LevelName(int value)
{
    switch (value) {
        case level::Locked:
            return QStringLiteral("locked");
        case level::User:
            return QStringLiteral("standard user");
        default:
            return QStringLiteral("administrator");
    }
}

void TCallTable::Add(TCallEntry entry)
{
    for (TCallEntry& e : entries_)
        if (e.Module == entry.Module && e.DispId == entry.DispId) {
            e = std::move(entry);
            return;
        }
    entries_.append(std::move(entry));
}

const TCallEntry* TCallTable::Find(TModule module, int dispId) const
{
    for (const TCallEntry& e : entries_)
        if (e.Module == module && e.DispId == dispId)
            return &e;
    return nullptr;
}

void RegisterServerCalls(TCallTable& t)
{
    using M = TModule;
    t.Add({M::Main, 301, level::Locked, 6, Handshake});
    t.Add({M::Main, 307, level::Locked, 2, CheckPassword});
    t.Add({M::Main, 308, level::Administrator, 3, ChangePassword});
    t.Add({M::Main, 312, level::Locked, 1, EnableLiveData});
    t.Add({M::Main, 314, level::Locked, 0, GetLanguage});
    t.Add({M::Main, 315, level::Administrator, 1, SetLanguage});
    t.Add({M::Admin, 301, level::Locked, 0, DataFormatInUse});
    t.Add({M::Admin, 302, level::Administrator, 1, CheckDataFormat});
    t.Add({M::Admin, 303, level::Administrator, 0, UseCheckedDataFormat});
    t.Add(
        {M::Admin, 306, level::Administrator, 0, [](TCallContext&) { return QVariant(EmptyTariffRule()); }});
    t.Add({M::Admin, 307, level::Administrator, 0,
           [](TCallContext&) { return QVariant(TariffRuleTemplate()); }});
    t.Add({M::Admin, 308, level::Administrator, 2, SetFilterClause});
    t.Add({M::Admin, 312, level::Administrator, 1, CheckTariffRules});
    t.Add({M::Admin, 313, level::Administrator, 0, PbxInUse});
    t.Add({M::Admin, 314, level::Administrator, 1, UsePbx});
    t.Add({M::Admin, 315, level::Locked, 0, TariffRulesInUse});
    t.Add({M::Receiver, 301, level::Administrator, 0, ToggleReceiver});
    t.Add({M::Commands, 309, level::Administrator, 0, ToggleQueue});
    t.Add({M::Commands, 310, level::Administrator, 2, QueueContents});
    t.Add({M::Commands, 311, level::Administrator, 1, [](TCallContext& c) {
               Server(c).CommandQueue().Remove(ArgInt(c, 0), Who(c));
               return QVariant();
           }});
    t.Add({M::Commands, 312, level::Administrator, 0, [](TCallContext& c) {
               Server(c).CommandQueue().Clear(Who(c));
               return QVariant();
           }});
    t.Add({M::Commands, 313, level::Administrator, 1, [](TCallContext& c) {
               Server(c).CommandQueue().Add(ArgString(c, 0), Who(c));
               return QVariant();
           }});
    t.Add({M::Commands, 314, level::Administrator, 0, [](TCallContext& c) {
               return VarFromInt16(static_cast<qint16>(Server(c).CommandQueue().ControlProtocol()));
           }});
    t.Add({M::Report, 301, level::User, 1,
           [](TCallContext& c) { return RunStatement(c, TResultSlot::Report); }});
    t.Add({M::Report, 303, level::User, 2, ChooseCatalogTable});
    t.Add({M::LogsReport, 301, level::Administrator, 1,
           [](TCallContext& c) { return RunStatement(c, TResultSlot::Logs); }});
    t.Add({M::LogsReport, 302, level::Administrator, 1,
           [](TCallContext& c) { return RunStatement(c, TResultSlot::LogsEvent); }});
}

const QList<TProviderEntry>& Providers()
{
    using M = TModule;
    using K = TProviderKind;
    static const QList<TProviderEntry> providers = {
        {M::Report, QStringLiteral("dspReport"), level::User, K::Table, &ReportProvider()},
        {M::Report, QStringLiteral("dspResult"), level::User, K::ReportResult, nullptr},
        {M::Report, QStringLiteral("dspEPGroup"), level::User, K::EPGroup, nullptr},
        {M::Report, QStringLiteral("dspExtPin"), level::User, K::ExtPin, nullptr},
        {M::Report, QStringLiteral("dspSimpleModeExtPin"), level::User, K::SimpleExtPin, nullptr},
        {M::Admin, QStringLiteral("dspGroups"), level::Administrator, K::Table, &GroupsProvider()},
        {M::Admin, QStringLiteral("dspPBX"), level::Administrator, K::Table, &PbxProvider()},
        {M::Admin, QStringLiteral("dspLimitPlan"), level::Administrator, K::Table, &LimitPlanProvider()},
        {M::Admin, QStringLiteral("dspExtension"), level::Administrator, K::ExtensionQuery,
         &ExtensionProvider()},
        {M::Admin, QStringLiteral("dspPinCode"), level::Administrator, K::PinCodeQuery, &PinCodeProvider()},
        {M::Admin, QStringLiteral("dspCallSchema"), level::Administrator, K::Table, &CallSchemaProvider()},
        {M::Admin, QStringLiteral("dspTariffRules"), level::Administrator, K::Table, &TariffRulesProvider()},
        {M::Archives, QStringLiteral("dspArchive"), level::Administrator, K::Table, &ArchiveProvider()},
        {M::LogsReport, QStringLiteral("dspResult"), level::Administrator, K::LogsResult, nullptr},
        {M::LogsReport, QStringLiteral("dspTemp"), level::Administrator, K::LogsEvent, nullptr},
    };
    return providers;
}

const TProviderEntry* FindProvider(TModule module, const QString& name)
{
    for (const TProviderEntry& p : Providers())
        if (p.Module == module && p.Name == name)
            return &p;
    return nullptr;
}
