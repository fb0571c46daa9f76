#include "server/CallTable.h"

#include "core/Errors.h"
#include "core/Variants.h"

#include <limits>

namespace {

const QList<QPair<TModule, const char*>>& ModuleNames()
{
    static const QList<QPair<TModule, const char*>> names = {
        {TModule::Main, module::MainRDM},
        {TModule::Archives, module::ArchivesRDM},
        {TModule::Admin, module::AdminRDM},
        {TModule::Receiver, module::ReceiverRDM},
        {TModule::Commands, module::CommandsRDM},
        {TModule::Report, module::ReportRDM},
        {TModule::LogsReport, module::LogsReportRDM},
    };
    return names;
}

[[noreturn]] void TypeMismatch(int index, const char* expected, const QVariant& got)
{
    throw EOleSysError(QStringLiteral("Argument %1 must be %2, not %3.")
                           .arg(index + 1)
                           .arg(QLatin1String(expected))
                           .arg(QString::fromLatin1(got.isValid() ? got.typeName() : "null")),
                       hr::DISP_E_TYPEMISMATCH_);
}

// Both tables keep one entry per key: a new one replaces the old.
template <typename TEntry, typename TSameKey>
void AddOrReplace(QList<TEntry>& entries, TEntry entry, TSameKey sameKey)
{
    for (TEntry& e : entries)
        if (sameKey(e, entry)) {
            e = std::move(entry);
            return;
        }
    entries.append(std::move(entry));
}

template <typename TEntry, typename TMatch>
const TEntry* FindEntry(const QList<TEntry>& entries, TMatch match)
{
    for (const TEntry& e : entries)
        if (match(e))
            return &e;
    return nullptr;
}

bool IsIntegerVariant(const QVariant& v)
{
    const int id = v.metaType().id();
    return id == QMetaType::Int || id == QMetaType::Short || id == QMetaType::LongLong ||
           id == QMetaType::UInt;
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

// ---- arguments -----------------------------------------------------------------------

bool TCallContext::Bool(int index) const
{
    const QVariant& v = Args.at(index);
    if (v.metaType().id() == QMetaType::Bool)
        return v.toBool();
    if (IsIntegerVariant(v))
        return v.toLongLong() != 0;
    TypeMismatch(index, "a boolean", v);
}

int TCallContext::Int(int index) const
{
    const QVariant& v = Args.at(index);
    if (IsIntegerVariant(v)) {
        const qint64 value = v.toLongLong();
        if (value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max())
            return static_cast<int>(value);
    }
    TypeMismatch(index, "a 32-bit integer", v);
}

QString TCallContext::String(int index) const
{
    const QVariant& v = Args.at(index);
    if (VarIsNull(v))
        return QString();
    if (v.metaType().id() == QMetaType::QString)
        return v.toString();
    TypeMismatch(index, "a string", v);
}

TDispatchRef TCallContext::Dispatch(int index) const
{
    const QVariant& v = Args.at(index);
    if (v.metaType() == QMetaType::fromType<TDispatchRef>())
        return v.value<TDispatchRef>();
    TypeMismatch(index, "an interface reference", v);
}

// ---- tables --------------------------------------------------------------------------

void TCallTable::Add(TCallEntry entry)
{
    AddOrReplace(entries_, std::move(entry), [](const TCallEntry& a, const TCallEntry& b) {
        return a.Module == b.Module && a.DispId == b.DispId;
    });
}

const TCallEntry* TCallTable::Find(TModule module, int dispId) const
{
    return FindEntry(entries_, [&](const TCallEntry& e) { return e.Module == module && e.DispId == dispId; });
}

void TProviderTable::Add(TProviderEntry entry)
{
    AddOrReplace(entries_, std::move(entry), [](const TProviderEntry& a, const TProviderEntry& b) {
        return a.Module == b.Module && a.Name == b.Name;
    });
}

const TProviderEntry* TProviderTable::Find(TModule module, const QString& name) const
{
    return FindEntry(entries_, [&](const TProviderEntry& e) { return e.Module == module && e.Name == name; });
}

void TModuleEntries::Call(int dispId, int level, int argCount, TCallHandler handler) const
{
    calls_.Add({module_, dispId, level, argCount, std::move(handler)});
}

void TModuleEntries::Provider(const QString& name, int level, TOpenHandler open, TApplyHandler apply) const
{
    providers_.Add({module_, name, level, std::move(open), std::move(apply)});
}
