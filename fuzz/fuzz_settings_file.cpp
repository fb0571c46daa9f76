// A settings file as the client finds it on disk (any bytes, UTF-8 or single-byte), read
// by section and key, then changed and saved. Reading never fails; a value written is read
// back, and the saved file loads as exactly the lines held in memory, so lines the client
// never touched survive a save.

#include "FuzzInput.h"

#include "core/Errors.h"
#include "shell/base/IniFiles32.h"

#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir folder;
    static const QString path = folder.filePath(QStringLiteral("settings.ini"));
    TFuzzInput input(data, size);
    const QString value = QStringLiteral("v%1").arg(input.Uint32());
    {
        QFile file(path);
        FuzzCheck(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the file is written");
        file.write(input.Rest());
    }
    TIniFile32 settings(path);
    QString section = QStringLiteral("Fuzz");
    int headers = 0;
    for (const QString& line : settings.Lines()) {
        if (line.size() < 2 || !line.startsWith(QLatin1Char('[')) || !line.endsWith(QLatin1Char(']')))
            continue;
        const QString name = line.mid(1, line.size() - 2);
        if (headers++ == 0)
            section = name;
        for (const QString& other : settings.Lines()) {
            const qsizetype equals = other.indexOf(QLatin1Char('='));
            if (equals > 0) {
                settings.ReadString(name, other.left(equals), QString());
                settings.ReadInteger(name, other.left(equals), 0);
            }
        }
        if (headers > 8)
            break;
    }
    try {
        settings.WriteString(section, QStringLiteral("Key"), value);
    } catch (const Exception&) {
        FuzzCheck(false, "a settings file in a writable folder is saved");
    }
    FuzzCheck(settings.ReadString(section, QStringLiteral("Key"), QString()) == value, "a written value reads back");
    const TIniFile32 reloaded(path);
    if (reloaded.Lines() != settings.Lines()) {
        std::fprintf(stderr, "%lld lines in memory, %lld loaded\n", qlonglong(settings.Lines().size()),
                     qlonglong(reloaded.Lines().size()));
        FuzzCheck(false, "the saved file loads as the lines in memory");
    }
    return 0;
}
