#pragma once
// The client's settings file: sections of key=value lines, kept in memory as the whole
// list of lines and written back completely after every change. The matching rules are
// the client's own and deliberately differ from the usual profile functions: only the
// first header of a section counts, section names ignore case, keys do not, and the first
// line of a key decides.

#include <QString>
#include <QStringList>

#include <memory>

class TIniFile32 {
public:
    // Loads the file when it exists; a missing or unreadable file reads as empty. The text
    // is UTF-8, or single-byte when it does not read as UTF-8.
    explicit TIniFile32(QString fileName);

    const QString& FileName() const { return fileName_; }
    const QStringList& Lines() const { return lines_; }

    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;

    // Each write saves the whole file at once. A failure to save raises EInOutError; the
    // change stays in memory.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);

private:
    // Index of the section's header line, or -1.
    qsizetype FindSection(const QString& section) const;
    // Index of the next header line after the given header, or the line count.
    qsizetype SectionEnd(qsizetype header) const;
    // Index of the section's first line for the key, or -1.
    qsizetype FindKey(qsizetype header, const QString& key) const;
    void Save();

    QString fileName_;
    QStringList lines_;
    // A file that is not UTF-8 comes from a single-byte editor or an older client. It is
    // written back byte for byte, so that lines the client never changes stay as they
    // were, until a value needs more than one byte; from then on it is UTF-8.
    bool singleByte_ = false;
};

// The process-wide settings file: installed at start-up before the start-up window and
// released at the end of the process. SettingsFile() raises Exception while none is open.
void InstallSettingsFile(std::unique_ptr<TIniFile32> settings);
void ReleaseSettingsFile();
bool HasSettingsFile();
TIniFile32& SettingsFile();
