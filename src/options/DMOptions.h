#pragma once
// The options dialog's data module: each option group fetched with one server call and
// sent with one, the server's language, and the client's own settings (report formats,
// auto refresh, the language store). No widgets. Server errors raise EOleSysError, which
// reaches the process-wide handler.
//
//   TOptionsDM dm(c.MainRDM, c.ReceiverRDM, c.ArchivesRDM, c.CommandsRDM);
//   QVariantList receiver = dm.Fetch(TOptionsDM::TGroup::Receiver);
//   receiver[4] = 9100;
//   dm.Send(TOptionsDM::TGroup::Receiver, receiver);

#include "remote/RemoteModule.h"

#include <QVariantList>

class TOptionsDM {
public:
    // The groups in the order the dialog sends them after the language.
    enum class TGroup { Receiver, Limits, Definity, HiPath, Modem, Direct, Archiving };

    TOptionsDM(TRemoteModule mainRDM, TRemoteModule receiverRDM, TRemoteModule archivesRDM,
               TRemoteModule commandsRDM);

    // The group's values in order (booleans, integers, strings, date-times and lists as
    // the server sends them).
    QVariantList Fetch(TGroup group) const;
    // Sends the values; the caller gives them in the wire's kinds (VarFromInt16 for the
    // 16-bit values, VarFromDateTime for spans and moments).
    void Send(TGroup group, const QVariantList& values) const;

    // 0 Bulgarian, 1 English (any non-zero answer is English).
    int ServerLanguage() const;
    void SetServerLanguage(int language) const;

    // The client's report settings in its settings file, section "Report".
    struct TReportSettings {
        QString DateTimeFormat;
        QString DurationFormat;
        int AutoRefresh = 3;  // bit 0: on opening the window, bit 1: on choosing a report
    };
    // Reads them and makes the formats the process-wide report formats.
    static TReportSettings LoadReportSettings();
    // Writes them and makes the formats the process-wide report formats at once.
    static void SaveReportSettings(const TReportSettings& settings);

private:
    const TRemoteModule& ModuleOf(TGroup group) const;

    TRemoteModule main_, receiver_, archives_, commands_;
};
