#include "server/Settings.h"

#include "server/Database.h"

QVariant TSettings::Read(const char* name) const
{
    return db_.Scalar(QStringLiteral("SELECT VALUE FROM SETTINGS WHERE NAME = ?"),
                      {QString::fromLatin1(name)});
}

QString TSettings::String(const char* name, const QString& defaultValue) const
{
    const QVariant v = Read(name);
    return v.isValid() ? v.toString() : defaultValue;
}

int TSettings::Int(const char* name, int defaultValue) const
{
    bool ok = false;
    const int value = Read(name).toString().toInt(&ok);
    return ok ? value : defaultValue;
}

double TSettings::Double(const char* name, double defaultValue) const
{
    bool ok = false;
    const double value = Read(name).toString().toDouble(&ok);
    return ok ? value : defaultValue;
}

void TSettings::SetString(const char* name, const QString& value)
{
    TStatement stmt =
        db_.Prepare(QStringLiteral("INSERT INTO SETTINGS (NAME, VALUE) VALUES (?, ?) "
                                   "ON CONFLICT (NAME) DO UPDATE SET VALUE = excluded.VALUE"));
    stmt.BindText(1, QString::fromLatin1(name));
    stmt.BindText(2, value);
    stmt.Step();
}

void TSettings::SetInt(const char* name, int value)
{
    SetString(name, QString::number(value));
}
