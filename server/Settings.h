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
}  // namespace setting

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
