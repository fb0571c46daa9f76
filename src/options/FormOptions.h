#pragma once
// The options dialog ("Options"): the administrator's settings of the whole installation,
// page by page in a tree, with each page's help below. Opening fetches every group with
// one server call each; Apply checks the four serial port frames first (nothing is sent
// when one is wrong), then sends the language, the receiver group, the client's report
// settings, the exchange control groups (limits, Avaya Definity, Siemens HiPath, modem,
// direct commands) and the archiving group, in this order, and closes. Cancel sends
// nothing and writes nothing. A server error reaches the process-wide handler; the groups
// sent before it stay applied and the dialog stays open.
//
//   TOptionsForm form(parent, TOptionsDM(c.MainRDM, c.ReceiverRDM, c.ArchivesRDM, c.CommandsRDM), services);
//   form.exec();

#include "options/DMOptions.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QStackedWidget;
class QTextBrowser;
class QTimeEdit;
class QTreeWidget;
class TIniFile32;
class TLabeledUpDownEdit;
class TMainFormServices;
class TRadioGroup;
class TSerialPortFrame;

class TOptionsForm : public QDialog {
    Q_OBJECT

public:
    // services: where the running activities are shown (may be null).
    TOptionsForm(QWidget* parent, TOptionsDM dm, TMainFormServices* services = nullptr);
    ~TOptionsForm() override;

    // The process-wide settings file, for units that have no dialog open.
    static TIniFile32& Settings();

    // The help file a page shows: in HelpDir, "<language>/options/<page>.html", tried in
    // the order of the running language (Bulgarian: bg, en, bg's Empty; English: en, en's
    // Empty); the last candidate even when it does not exist.
    static QString HelpFileOf(const QString& helpDir, const QString& pageName, bool bulgarian);

private:
    struct TPage {
        QWidget* Page;
        int Level;
    };
    void CreatePages();
    QWidget* AddPage(const char* name, const QString& caption, int level);
    void CreateLanguagePage();
    void CreateReceiverPages();
    void CreateReportPage();
    void CreateArchivesPage();
    void CreateExchangePages();
    void BuildTree();
    void ShowPage(int index);

    void Load();
    void LoadReceiver();
    void LoadReports();
    void LoadExchangeGroups();
    void LoadArchiving();
    void Apply();
    bool ValidatePorts() const;
    void ApplyReceiver();
    void ApplyReports();
    void ApplyExchangeGroups();
    void ApplyArchiving();

    void UpdateServerClient();
    void UpdateArchiving();
    void UpdateArchiveInterval();
    void UpdateCharging();
    double NextArchive() const;

    TOptionsDM dm_;
    TMainFormServices* services_;
    QList<TPage> pages_;

    QTreeWidget* tvOptions;
    QStackedWidget* pgcOptions;
    QGroupBox* grpHelp;
    QTextBrowser* HelpBrowser;

    // Language
    QLabel* lblServerLanguage;
    TRadioGroup* rgLanguage;
    // Receiver
    TRadioGroup* grpReceiverType;
    TSerialPortFrame* ReceiverPortFrame;
    TRadioGroup* grpApplicationIsServer;
    TLabeledUpDownEdit* ludedtSocketPort;
    TLabeledUpDownEdit* ludedtMaxActiveConnections;
    QLabel* lblMaxConnections;
    QLabel* lblIpAddress;
    QLineEdit* ledtIpAddress;
    TLabeledUpDownEdit* ludedtPauseBufferSize;
    TLabeledUpDownEdit* ludedtResumeBufferSize;
    TLabeledUpDownEdit* ludedtMaxPendingRecordCount;
    TLabeledUpDownEdit* ludedtMaxPendingInterval;
    TLabeledUpDownEdit* ludedtRestartReceiverTimeout;
    // Reports
    QLineEdit* edtDateTimeFormat;
    QLineEdit* edtDurationFormat;
    QCheckBox* cbReportStartup;
    QCheckBox* cbReportTypeChange;
    // Archives
    QCheckBox* cbAutomaticArchiving;
    QGroupBox* grpNextArchiveScope;
    QLabel* lblNextArchiveStart;
    QLabel* lblNextArchiveEnd;
    QGroupBox* grpAutoArchive;
    TLabeledUpDownEdit* ludedtArchivePeriod;
    TLabeledUpDownEdit* ludedtArchiveKeepLast;
    QTimeEdit* dtpNextArchiveTime;
    QDateEdit* dtpNextArchiveDate;
    // Limits
    TRadioGroup* rgExtensionCharging;
    QCheckBox* chkExtBlocking;
    TRadioGroup* rgCodeCharging;
    QCheckBox* chkPinBlocking;
    TRadioGroup* rgControlProtocol;
    TLabeledUpDownEdit* ludedtVAT;
    // Avaya Definity
    QLineEdit* edtDefinityUsername;
    QLineEdit* edtDefinityPassword;
    QLineEdit* edtBlockCOR;
    QLineEdit* edtDefUnblockCOR;
    QList<QLineEdit*> definityDelays_;
    QCheckBox* cbUseSimulation;
    TSerialPortFrame* DefinityPortFrame;
    int loadedBlockCor_ = 0;
    int loadedUnblockCor_ = 0;
    // Siemens HiPath
    TLabeledUpDownEdit* ludedtSiemensTcpPort;
    QLineEdit* ledtSiemensIpAddress;
    QLineEdit* edtSiemensUsername;
    QLineEdit* edtSiemensPassword;
    QLineEdit* edtMaxListNumber;
    QList<QLineEdit*> siemensDelays_;
    int loadedMaxList_ = 0;
    // Modem
    QList<QLineEdit*> modemCommands_;
    TSerialPortFrame* ModemPortFrame;
    QList<QLineEdit*> modemAnswers_;
    QList<QLineEdit*> modemStrings_;
    QList<QLineEdit*> modemDelays_;
    // Direct commands
    QList<QLineEdit*> directCommands_;
    QList<QLineEdit*> directDelays_;
    QCheckBox* chkUseReceiverChannel;
    TSerialPortFrame* DirectPortFrame;
};
