#include "options/FormOptions.h"

#include "calls/Globals.h"
#include "core/DateTime.h"
#include "core/RegionalSettings.h"
#include "core/Variants.h"
#include "options/SerialPortFrame.h"
#include "shell/ImageLists.h"
#include "shell/MainFormServices.h"
#include "shell/base/AppDirs.h"
#include "shell/base/IniFiles32.h"
#include "shell/base/LanguageStore.h"
#include "widgets/LabeledUpDownEdit.h"
#include "widgets/RadioGroup.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSplitter>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QTimeEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int kHelpHeight = 160;
constexpr int kDurationScaleMin = 10;   // 10 seconds
constexpr int kDurationScaleMax = 8811;  // 365 days

QVariant Bool16(bool value)
{
    return QVariant(value);
}

TLabeledUpDownEdit* UpDown(QWidget* parent, const QString& caption, const char* name, int min, int max)
{
    auto* edit = new TLabeledUpDownEdit(caption, TLabeledUpDownEdit::TLabelPosition::Left, parent);
    edit->setObjectName(QLatin1String(name));
    edit->SetRange(min, max);
    return edit;
}

// A duration-scale edit: positions shown and typed as spans of days.
void ShowAsDurationScale(TLabeledUpDownEdit* edit)
{
    edit->SetRange(kDurationScaleMin, kDurationScaleMax);
    edit->SetSetTextHandler([](int position, const QString&) { return FormatDurationDays(DurationScaleToDays(qint16(position))); });
    edit->SetGetTextHandler([edit](const QString& text, int) {
        const double current = DurationScaleToDays(qint16(edit->LastPosition()));
        return int(DaysToDurationScale(ParseDurationDays(text, current)));
    });
}

QLineEdit* Edit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

// A titled group of labelled edits, added to the page's layout.
QList<QLineEdit*> EditGroup(QWidget* page, const QString& title, const QStringList& labels,
                            const QList<const char*>& names)
{
    auto* group = new QGroupBox(title, page);
    auto* form = new QFormLayout(group);
    QList<QLineEdit*> edits;
    for (int i = 0; i < labels.size(); ++i) {
        edits << Edit(group, names.at(i));
        form->addRow(labels.at(i), edits.last());
    }
    page->layout()->addWidget(group);
    return edits;
}

QVBoxLayout* Column(QWidget* page)
{
    auto* layout = new QVBoxLayout(page);
    layout->setAlignment(Qt::AlignTop);
    return layout;
}

// Delays: blanks around are ignored; a text that does not read is 100 ms.
int DelayOf(const QLineEdit* edit)
{
    return StateToInt(edit->text().trimmed(), 100);
}

QVariantList Delays(const QList<QLineEdit*>& edits)
{
    QVariantList values;
    for (const QLineEdit* e : edits)
        values << DelayOf(e);
    return values;
}

QVariantList Texts(const QList<QLineEdit*>& edits)
{
    QVariantList values;
    for (const QLineEdit* e : edits)
        values << e->text();
    return values;
}

void Fill(const QList<QLineEdit*>& edits, const QVariant& list)
{
    const QVariantList values = list.toList();
    for (int i = 0; i < edits.size(); ++i)
        edits[i]->setText(VarToStr(values.value(i)));
}

QString LongDateTime(TDateTime value)
{
    return QLocale::system().toString(DateTimeToQDate(value), QLocale::LongFormat) + QLatin1Char(' ') +
           FormatDateTime(QStringLiteral("hh:nn:ss"), value);
}

}  // namespace

TOptionsForm::TOptionsForm(QWidget* parent, TOptionsDM dm, TMainFormServices* services)
    : QDialog(parent), dm_(std::move(dm)), services_(services)
{
    setObjectName(QStringLiteral("OptionsForm"));
    setWindowTitle(tr("Options"));
    setWindowIcon(MainImageList().Icon(10));
    CreatePages();
    BuildTree();
    Load();
}

TOptionsForm::~TOptionsForm() = default;

TIniFile32& TOptionsForm::Settings()
{
    return SettingsFile();
}

QString TOptionsForm::HelpFileOf(const QString& helpDir, const QString& pageName, bool bulgarian)
{
    const auto file = [&helpDir](const char* language, const QString& page) {
        return helpDir + QLatin1String(language) + QStringLiteral("/options/") + page + QStringLiteral(".html");
    };
    const QStringList candidates =
        bulgarian ? QStringList{file("bg", pageName), file("en", pageName), file("bg", QStringLiteral("Empty"))}
                  : QStringList{file("en", pageName), file("en", QStringLiteral("Empty"))};
    for (const QString& candidate : candidates)
        if (QFile::exists(candidate))
            return candidate;
    return candidates.last();
}

QWidget* TOptionsForm::AddPage(const char* name, const QString& caption, int level)
{
    auto* page = new QWidget(pgcOptions);
    page->setObjectName(QLatin1String(name));
    page->setWindowTitle(caption);
    pgcOptions->addWidget(page);
    pages_.append({page, level});
    return page;
}

void TOptionsForm::CreatePages()
{
    tvOptions = new QTreeWidget(this);
    tvOptions->setObjectName(QStringLiteral("tvOptions"));
    tvOptions->setHeaderHidden(true);
    tvOptions->setMinimumWidth(210);
    pgcOptions = new QStackedWidget(this);
    pgcOptions->setObjectName(QStringLiteral("pgcOptions"));
    grpHelp = new QGroupBox(tr(" Help "), this);
    grpHelp->setObjectName(QStringLiteral("grpHelp"));
    grpHelp->setFixedHeight(kHelpHeight);
    HelpBrowser = new QTextBrowser(grpHelp);
    HelpBrowser->setObjectName(QStringLiteral("HelpBrowser"));
    (new QVBoxLayout(grpHelp))->addWidget(HelpBrowser);

    CreateLanguagePage();
    CreateReceiverPages();
    CreateReportPage();
    CreateArchivesPage();
    CreateExchangePages();

    auto* btnOK = new QPushButton(tr("Apply"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    auto* btnCancel = new QPushButton(tr("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOK, &QPushButton::clicked, this, &TOptionsForm::Apply);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(tvOptions);
    top->addWidget(pgcOptions, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(grpHelp);
    layout->addLayout(buttons);
    resize(720, 600);
}

void TOptionsForm::CreateLanguagePage()
{
    QWidget* page = AddPage("tsLanguage", tr("Language"), 1);
    auto* layout = Column(page);
    lblServerLanguage = new QLabel(page);
    lblServerLanguage->setObjectName(QStringLiteral("lblServerLanguage"));
    rgLanguage = new TRadioGroup(tr(" User interface language: "),
                                 {tr("Bulgarian (Български)"), tr("English (Английски)")}, page);
    rgLanguage->setObjectName(QStringLiteral("rgLanguage"));
    layout->addWidget(lblServerLanguage);
    layout->addWidget(rgLanguage);
}

void TOptionsForm::CreateReceiverPages()
{
    QWidget* receiver = AddPage("tsReceiver", tr("Receiver"), 1);
    grpReceiverType = new TRadioGroup(tr(" The PBX sends data over a... "),
                                      {tr("RS-232 serial connection"), tr("TCP/IP connection")}, receiver);
    grpReceiverType->setObjectName(QStringLiteral("grpReceiverType"));
    Column(receiver)->addWidget(grpReceiverType);

    QWidget* serial = AddPage("tsReceiverSerial", tr("Serial port"), 2);
    ReceiverPortFrame = new TSerialPortFrame(serial);
    ReceiverPortFrame->setObjectName(QStringLiteral("ReceiverPortFrame"));
    Column(serial)->addWidget(ReceiverPortFrame);

    QWidget* tcpip = AddPage("tsReceiverTcpip", tr("TCP/IP"), 2);
    auto* tcpLayout = Column(tcpip);
    grpApplicationIsServer = new TRadioGroup(
        tr(" Application acts as a "), {tr("Server (The PBX connects to it)"), tr("Client (Connects to the PBX)")}, tcpip);
    grpApplicationIsServer->setObjectName(QStringLiteral("grpApplicationIsServer"));
    connect(grpApplicationIsServer, &TRadioGroup::Clicked, this, &TOptionsForm::UpdateServerClient);
    auto* socket = new QGroupBox(tr(" Server settings "), tcpip);
    socket->setObjectName(QStringLiteral("grpSocketSettings"));
    auto* socketLayout = new QVBoxLayout(socket);
    ludedtSocketPort = UpDown(socket, tr("Port:"), "ludedtSocketPort", 0, 32767);
    auto* connections = new QHBoxLayout;
    ludedtMaxActiveConnections = UpDown(socket, tr("Connections:"), "ludedtMaxActiveConnections", 1, 32000);
    lblMaxConnections = new QLabel(tr("max."), socket);
    connections->addWidget(ludedtMaxActiveConnections);
    connections->addWidget(lblMaxConnections);
    connections->addStretch();
    auto* address = new QHBoxLayout;
    lblIpAddress = new QLabel(tr("IP Address:"), socket);
    ledtIpAddress = Edit(socket, "ledtIpAddress");
    address->addWidget(lblIpAddress);
    address->addWidget(ledtIpAddress);
    socketLayout->addWidget(ludedtSocketPort);
    socketLayout->addLayout(connections);
    socketLayout->addLayout(address);
    tcpLayout->addWidget(grpApplicationIsServer);
    tcpLayout->addWidget(socket);

    QWidget* buffer = AddPage("tsBuffer", tr("Buffer"), 2);
    auto* bufferLayout = Column(buffer);
    auto* input = new QGroupBox(tr(" Input buffer settings "), buffer);
    auto* inputLayout = new QVBoxLayout(input);
    ludedtPauseBufferSize = UpDown(input, tr("Pause receiver when buffer grows above:"), "ludedtPauseBufferSize", 1, 1024);
    ludedtResumeBufferSize = UpDown(input, tr("Resume receiver when buffer drops below:"), "ludedtResumeBufferSize", 1, 1024);
    for (TLabeledUpDownEdit* e : {ludedtPauseBufferSize, ludedtResumeBufferSize}) {
        auto* row = new QHBoxLayout;
        row->addWidget(e);
        row->addWidget(new QLabel(tr("KBytes."), input));
        row->addStretch();
        inputLayout->addLayout(row);
    }
    auto* deferred = new QGroupBox(tr(" Deferred database access "), buffer);
    auto* deferredLayout = new QVBoxLayout(deferred);
    ludedtMaxPendingRecordCount =
        UpDown(deferred, tr("Maximum data before writing to database:"), "ludedtMaxPendingRecordCount", 1, 32000);
    auto* countRow = new QHBoxLayout;
    countRow->addWidget(ludedtMaxPendingRecordCount);
    countRow->addWidget(new QLabel(tr("calls."), deferred));
    countRow->addStretch();
    deferredLayout->addLayout(countRow);
    ludedtMaxPendingInterval =
        UpDown(deferred, tr("Maximum delay before writing to database:"), "ludedtMaxPendingInterval", 1, 32000);
    ludedtMaxPendingInterval->SetSetTextHandler([](int seconds, const QString&) { return FormatDuration(seconds); });
    ludedtMaxPendingInterval->SetGetTextHandler([this](const QString& text, int) {
        return int(std::round(ParseDuration(text, ludedtMaxPendingInterval->LastPosition())));
    });
    deferredLayout->addWidget(ludedtMaxPendingInterval);
    auto* restart = new QHBoxLayout;
    ludedtRestartReceiverTimeout = UpDown(buffer, tr("Restart receiver after"), "ludedtRestartReceiverTimeout", 0, 0);
    ShowAsDurationScale(ludedtRestartReceiverTimeout);
    restart->addWidget(ludedtRestartReceiverTimeout);
    restart->addWidget(new QLabel(tr("of inactivity."), buffer));
    restart->addStretch();
    bufferLayout->addWidget(input);
    bufferLayout->addWidget(deferred);
    bufferLayout->addLayout(restart);
}

void TOptionsForm::CreateReportPage()
{
    QWidget* page = AddPage("tsReport", tr("Reports"), 1);
    auto* layout = Column(page);
    auto* formats = new QGroupBox(tr(" Change default formatting "), page);
    auto* form = new QFormLayout(formats);
    edtDateTimeFormat = Edit(formats, "edtDateTimeFormat");
    edtDurationFormat = Edit(formats, "edtDurationFormat");
    form->addRow(tr("Date/time format:"), edtDateTimeFormat);
    form->addRow(tr("Duration format:"), edtDurationFormat);
    auto* refresh = new QGroupBox(tr(" Auto refresh report on "), page);
    auto* refreshLayout = new QVBoxLayout(refresh);
    cbReportStartup = new QCheckBox(tr("Opening the reports window."), refresh);
    cbReportStartup->setObjectName(QStringLiteral("cbReportStartup"));
    cbReportTypeChange = new QCheckBox(tr("Selecting a report."), refresh);
    cbReportTypeChange->setObjectName(QStringLiteral("cbReportTypeChange"));
    refreshLayout->addWidget(cbReportStartup);
    refreshLayout->addWidget(cbReportTypeChange);
    layout->addWidget(formats);
    layout->addWidget(refresh);
}

void TOptionsForm::CreateArchivesPage()
{
    QWidget* page = AddPage("tsArchives", tr("Archives"), 1);
    auto* layout = Column(page);
    cbAutomaticArchiving = new QCheckBox(tr("Enable automatic archiving."), page);
    cbAutomaticArchiving->setObjectName(QStringLiteral("cbAutomaticArchiving"));
    connect(cbAutomaticArchiving, &QCheckBox::toggled, this, &TOptionsForm::UpdateArchiving);
    grpNextArchiveScope = new QGroupBox(tr(" Next archive will span the following interval: "), page);
    grpNextArchiveScope->setObjectName(QStringLiteral("grpNextArchiveScope"));
    auto* scope = new QHBoxLayout(grpNextArchiveScope);
    lblNextArchiveStart = new QLabel(grpNextArchiveScope);
    lblNextArchiveStart->setObjectName(QStringLiteral("lblNextArchiveStart"));
    lblNextArchiveEnd = new QLabel(grpNextArchiveScope);
    lblNextArchiveEnd->setObjectName(QStringLiteral("lblNextArchiveEnd"));
    scope->addWidget(lblNextArchiveStart);
    scope->addWidget(new QLabel(QStringLiteral("--"), grpNextArchiveScope));
    scope->addWidget(lblNextArchiveEnd);
    scope->addStretch();
    grpAutoArchive = new QGroupBox(tr(" Automatic archive options: "), page);
    grpAutoArchive->setObjectName(QStringLiteral("grpAutoArchive"));
    auto* options = new QVBoxLayout(grpAutoArchive);
    ludedtArchivePeriod = UpDown(grpAutoArchive, tr("Archive period:"), "ludedtArchivePeriod", 0, 0);
    ShowAsDurationScale(ludedtArchivePeriod);
    ludedtArchiveKeepLast = UpDown(grpAutoArchive, tr("Keep data for last:"), "ludedtArchiveKeepLast", 0, 0);
    ShowAsDurationScale(ludedtArchiveKeepLast);
    ludedtArchiveKeepLast->SetRange(0, kDurationScaleMax);
    auto* next = new QHBoxLayout;
    dtpNextArchiveTime = new QTimeEdit(grpAutoArchive);
    dtpNextArchiveTime->setObjectName(QStringLiteral("dtpNextArchiveTime"));
    dtpNextArchiveTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    dtpNextArchiveDate = new QDateEdit(grpAutoArchive);
    dtpNextArchiveDate->setObjectName(QStringLiteral("dtpNextArchiveDate"));
    dtpNextArchiveDate->setCalendarPopup(true);
    dtpNextArchiveDate->setDateRange(QDate(2000, 1, 1), QDate(3000, 1, 1));
    next->addWidget(new QLabel(tr("Next archve on:"), grpAutoArchive));
    next->addWidget(dtpNextArchiveTime);
    next->addWidget(dtpNextArchiveDate);
    next->addStretch();
    options->addWidget(ludedtArchivePeriod);
    options->addWidget(ludedtArchiveKeepLast);
    options->addLayout(next);
    for (TLabeledUpDownEdit* e : {ludedtArchivePeriod, ludedtArchiveKeepLast})
        connect(e, &TLabeledUpDownEdit::PositionChanged, this, &TOptionsForm::UpdateArchiveInterval);
    connect(dtpNextArchiveTime, &QTimeEdit::timeChanged, this, &TOptionsForm::UpdateArchiveInterval);
    connect(dtpNextArchiveDate, &QDateEdit::dateChanged, this, &TOptionsForm::UpdateArchiveInterval);
    layout->addWidget(cbAutomaticArchiving);
    layout->addWidget(grpNextArchiveScope);
    layout->addWidget(grpAutoArchive);
}

void TOptionsForm::CreateExchangePages()
{
    QWidget* limits = AddPage("tsLimits", tr("Limits"), 1);
    auto* limitsLayout = Column(limits);
    rgExtensionCharging = new TRadioGroup(tr(" Charge Extension: "),
                                          {tr("Never"), tr("When no PIN  is used"), tr("Always")}, limits, 2);
    rgExtensionCharging->setObjectName(QStringLiteral("rgExtensionCharging"));
    chkExtBlocking = new QCheckBox(tr("Automatic extension blocking"), limits);
    chkExtBlocking->setObjectName(QStringLiteral("chkExtBlocking"));
    chkExtBlocking->setToolTip(tr("Extensions will be blocked when their limit is over") + QLatin1Char('\n') +
                               tr("and unblocked when their recharge period expires."));
    rgCodeCharging = new TRadioGroup(tr(" Charge PIN: "), {tr("Never"), tr("Always")}, limits, 2);
    rgCodeCharging->setObjectName(QStringLiteral("rgCodeCharging"));
    chkPinBlocking = new QCheckBox(tr("Automatic PIN blocking"), limits);
    chkPinBlocking->setObjectName(QStringLiteral("chkPinBlocking"));
    chkPinBlocking->setToolTip(tr("Codes will be blocked when their limit is over") + QLatin1Char('\n') +
                               tr("and unblocked when their recharge period expires."));
    rgControlProtocol = new TRadioGroup(
        tr(" Control protocol: "), {tr("Avaya Definity"), tr("Siemens HiPath"), tr("Modem"), tr("Direct commands")},
        limits, 2);
    rgControlProtocol->setObjectName(QStringLiteral("rgControlProtocol"));
    ludedtVAT = UpDown(limits, tr("VAT:"), "ludedtVAT", 0, 30000);
    // The rate in percent with the regional decimal separator; a typed rate may use either
    // separator, and a text that does not read keeps the rate.
    ludedtVAT->SetSetTextHandler([](int tenths, const QString&) {
        QString text = QString::number(tenths / 10.0, 'f', tenths % 10 == 0 ? 0 : 1);
        text.replace(QLatin1Char('.'), TRegionalSettings::Current().DecimalSeparator);
        return text + QLatin1Char('%');
    });
    ludedtVAT->SetGetTextHandler([this](const QString& text, int) {
        QString number = text.section(QLatin1Char('%'), 0, 0).trimmed();
        number.replace(TRegionalSettings::Current().DecimalSeparator, QLatin1Char('.'));
        number.replace(QLatin1Char(','), QLatin1Char('.'));
        bool ok = false;
        const double percent = number.toDouble(&ok);
        return ok ? int(std::round(percent * 10)) : ludedtVAT->LastPosition();
    });
    for (TRadioGroup* g : {rgExtensionCharging, rgCodeCharging})
        connect(g, &TRadioGroup::Clicked, this, &TOptionsForm::UpdateCharging);
    limitsLayout->addWidget(rgExtensionCharging);
    limitsLayout->addWidget(chkExtBlocking);
    limitsLayout->addWidget(rgCodeCharging);
    limitsLayout->addWidget(chkPinBlocking);
    limitsLayout->addWidget(rgControlProtocol);
    limitsLayout->addWidget(ludedtVAT);

    const QStringList delays3{tr("Connect:"), tr("Login/Init:"), tr("Command:")};
    QWidget* avaya = AddPage("tsAvaya", tr("Avaya"), 2);
    Column(avaya)->addWidget(new QLabel(
        tr("Blocking and unblocking of PIN codes is acheived through changing their CORs (Codes of Restriction)"), avaya));
    const QList<QLineEdit*> definity =
        EditGroup(avaya, tr(" Control Strings "),
                  {tr("Username:"), tr("Password:"), tr("Block COR:"), tr("Default un- block COR:")},
                  {"edtDefinityUsername", "edtDefinityPassword", "edtBlockCOR", "edtDefUnblockCOR"});
    edtDefinityUsername = definity[0];
    edtDefinityPassword = definity[1];
    edtDefinityPassword->setEchoMode(QLineEdit::Password);
    edtBlockCOR = definity[2];
    edtDefUnblockCOR = definity[3];
    definityDelays_ = EditGroup(avaya, tr(" Response Delays (ms) "), delays3,
                                {"edtDefinityConnectDelay", "edtDefinityLoginDelay", "edtDefinityCommandDelay"});
    cbUseSimulation = new QCheckBox(tr("Use PIN code blocking simulation"), avaya);
    cbUseSimulation->setObjectName(QStringLiteral("cbUseSimulation"));
    cbUseSimulation->hide();
    QWidget* definityPort = AddPage("tsDefinityPort", tr("Definity port"), 3);
    DefinityPortFrame = new TSerialPortFrame(definityPort);
    DefinityPortFrame->setObjectName(QStringLiteral("DefinityPortFrame"));
    Column(definityPort)->addWidget(DefinityPortFrame);

    QWidget* siemens = AddPage("tsSiemens", tr("Siemens"), 2);
    auto* siemensLayout = Column(siemens);
    siemensLayout->addWidget(
        new QLabel(tr("Blocking and unblocking of PIN codes is acheived through assigning codes to PBX slots."), siemens));
    auto* pbx = new QGroupBox(tr(" The PBX acts as a TCP server at: "), siemens);
    auto* pbxLayout = new QHBoxLayout(pbx);
    ludedtSiemensTcpPort = UpDown(pbx, tr("Port:"), "ludedtSiemensTcpPort", 0, 32767);
    ledtSiemensIpAddress = Edit(pbx, "ledtSiemensIpAddress");
    pbxLayout->addWidget(ludedtSiemensTcpPort);
    pbxLayout->addWidget(new QLabel(tr("IP Address:"), pbx));
    pbxLayout->addWidget(ledtSiemensIpAddress);
    siemensLayout->addWidget(pbx);
    const QList<QLineEdit*> siemensStrings =
        EditGroup(siemens, tr(" Control Strings "), {tr("Username:"), tr("Password:"), tr("Max. list No:")},
                  {"edtSiemensUsername", "edtSiemensPassword", "edtMaxListNumber"});
    edtSiemensUsername = siemensStrings[0];
    edtSiemensPassword = siemensStrings[1];
    edtSiemensPassword->setEchoMode(QLineEdit::Password);
    edtMaxListNumber = siemensStrings[2];
    siemensDelays_ = EditGroup(siemens, tr(" Response Delays (ms) "), delays3 + QStringList{tr("List iteration:")},
                               {"edtSiemensConnectDelay", "edtSiemensLoginDelay", "edtSiemensCommandDelay",
                                "edtSiemensIterationDelay"});

    const QStringList commandLabels{tr("Block extension:"), tr("Unblock extension:"), tr("Block PIN code:"),
                                    tr("Unblock PIN code:")};
    QWidget* modem = AddPage("tsModem", tr("Modem"), 2);
    Column(modem);
    modemCommands_ = EditGroup(modem, tr(" DTMF commands: "), commandLabels,
                               {"edtModemBlockExt", "edtModemUnblockExt", "edtModemBlockPin", "edtModemUnblockPin"});
    QWidget* modemPort = AddPage("tsModemPort", tr("Modem port"), 3);
    ModemPortFrame = new TSerialPortFrame(modemPort);
    ModemPortFrame->setObjectName(QStringLiteral("ModemPortFrame"));
    Column(modemPort)->addWidget(ModemPortFrame);
    QWidget* advanced = AddPage("tsModemAdvanced", tr("Advanced"), 3);
    Column(advanced);
    modemAnswers_ = EditGroup(advanced, tr(" Device Answers "),
                              {tr("Confirmation:"), tr("Success:"), tr("Failure:"), tr("Reserved:")},
                              {"edtRogerAnswer", "edtSuccessAnswer", "edtFailureAnswer", "edtOtherAnswer"});
    modemStrings_ = EditGroup(advanced, tr(" Control Strings "), {tr("Init:"), tr("Send:"), tr("Stop:"), tr("Recover:")},
                              {"edtInitString", "edtSendString", "edtStopString", "edtRecoverString"});
    modemDelays_ = EditGroup(advanced, tr(" Response Delays (ms) "),
                             {tr("Connect:"), tr("Confirmation:"), tr("Answer:"), tr("Recover:")},
                             {"edtModemConnectDelay", "edtRogerDelay", "edtAnswerDelay", "edtRecoverDelay"});

    QWidget* direct = AddPage("tsDirectCommands", tr("Direct commands"), 2);
    Column(direct);
    directCommands_ = EditGroup(direct, tr(" Direct, one-way commands: "), commandLabels,
                                {"edtDirectBlockExt", "edtDirectUnblockExt", "edtDirectBlockPin", "edtDirectUnblockPin"});
    directDelays_ = EditGroup(direct, tr(" Delays (ms) "), {tr("Connect:"), tr("Between commands:")},
                              {"edtDirectConnectDelay", "edtDirectCommandDelay"});
    QWidget* directPort = AddPage("tsDirectPort", tr("Serial port"), 3);
    auto* directPortLayout = Column(directPort);
    chkUseReceiverChannel = new QCheckBox(tr("Share the port of the serial receiver"), directPort);
    chkUseReceiverChannel->setObjectName(QStringLiteral("chkUseReceiverChannel"));
    DirectPortFrame = new TSerialPortFrame(directPort);
    DirectPortFrame->setObjectName(QStringLiteral("DirectPortFrame"));
    connect(chkUseReceiverChannel, &QCheckBox::toggled, DirectPortFrame, &QWidget::setHidden);
    directPortLayout->addWidget(chkUseReceiverChannel);
    directPortLayout->addWidget(DirectPortFrame);
}

// Each page a node under the nearest page above it with a smaller level.
void TOptionsForm::BuildTree()
{
    QList<QTreeWidgetItem*> parents;
    for (const TPage& page : std::as_const(pages_)) {
        // Controls keep their heights; the room left stays below them.
        if (auto* column = qobject_cast<QBoxLayout*>(page.Page->layout()))
            column->addStretch(1);
        while (!parents.isEmpty() && parents.size() >= page.Level)
            parents.removeLast();
        auto* item = parents.isEmpty() ? new QTreeWidgetItem(tvOptions) : new QTreeWidgetItem(parents.last());
        item->setText(0, page.Page->windowTitle());
        item->setData(0, Qt::UserRole, int(pgcOptions->indexOf(page.Page)));
        parents.append(item);
    }
    tvOptions->expandAll();
    connect(tvOptions, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item)
            ShowPage(item->data(0, Qt::UserRole).toInt());
    });
    tvOptions->setCurrentItem(tvOptions->topLevelItem(0));
}

void TOptionsForm::ShowPage(int index)
{
    pgcOptions->setCurrentIndex(index);
    const QString pageName = pgcOptions->widget(index)->objectName().mid(2);
    const QString file = HelpFileOf(HelpDir(), pageName, RunningLanguage() == TLanguage::Bulgarian);
    HelpBrowser->setSource(QUrl::fromLocalFile(file));
}

void TOptionsForm::Load()
{
    const int status = services_ ? services_->AddStatus(tr("Loading options...")) : 0;
    const auto clear = qScopeGuard([this, status] {
        if (services_)
            services_->ClearStatus(status);
    });
    rgLanguage->SetItemIndex(RunningLanguage() == TLanguage::Bulgarian ? 0 : 1);
    lblServerLanguage->setText(dm_.ServerLanguage() != 0 ? tr("Telvane Server runs in English language.")
                                                         : tr("Telvane Server runs in Bulgarian language."));
    LoadReceiver();
    LoadReports();
    LoadExchangeGroups();
    LoadArchiving();
}

void TOptionsForm::LoadReceiver()
{
    const QVariantList v = dm_.Fetch(TOptionsDM::TGroup::Receiver);
    grpReceiverType->SetItemIndex(VarToInt(v[0]) != 0 ? 1 : 0);
    ReceiverPortFrame->LoadSettings(VarToStr(v[1]));
    grpApplicationIsServer->SetItemIndex(VarToInt(v[3]) != 0 ? 0 : 1);
    UpdateServerClient();
    ledtIpAddress->setText(VarToStr(v[2]));
    ludedtMaxActiveConnections->SetPosition(int(VarToInt(v[5])));
    ludedtSocketPort->SetPosition(int(VarToInt(v[4])));
    ludedtPauseBufferSize->SetPosition(int(VarToInt(v[6])));
    ludedtResumeBufferSize->SetPosition(int(VarToInt(v[7])));
    ludedtMaxPendingRecordCount->SetPosition(int(VarToInt(v[8])));
    ludedtMaxPendingInterval->SetPosition(int(qBound(qint64(-32768), VarToInt(v[9]), qint64(32767))));
    ludedtRestartReceiverTimeout->SetPosition(DaysToDurationScale(VarToFloat(v[10]) / 86400));
}

void TOptionsForm::LoadReports()
{
    const TOptionsDM::TReportSettings s = TOptionsDM::LoadReportSettings();
    edtDateTimeFormat->setText(s.DateTimeFormat);
    edtDurationFormat->setText(s.DurationFormat);
    cbReportStartup->setChecked((s.AutoRefresh & 1) != 0);
    cbReportTypeChange->setChecked((s.AutoRefresh & 2) != 0);
}

void TOptionsForm::LoadExchangeGroups()
{
    const QVariantList limits = dm_.Fetch(TOptionsDM::TGroup::Limits);
    rgControlProtocol->SetItemIndex(int(VarToInt(limits[0])));
    rgExtensionCharging->SetItemIndex(int(VarToInt(limits[1])));
    rgCodeCharging->SetItemIndex(int(VarToInt(limits[2])));
    UpdateCharging();
    chkExtBlocking->setChecked(VarToInt(limits[3]) != 0 && chkExtBlocking->isEnabled());
    chkPinBlocking->setChecked(VarToInt(limits[4]) != 0 && chkPinBlocking->isEnabled());
    ludedtVAT->SetPosition(int(VarToInt(limits[5])));

    const QVariantList definity = dm_.Fetch(TOptionsDM::TGroup::Definity);
    const QVariantList strings = definity[1].toList();
    edtDefinityUsername->setText(VarToStr(strings.value(0)));
    edtDefinityPassword->setText(VarToStr(strings.value(1)));
    loadedBlockCor_ = int(VarToInt(strings.value(2)));
    loadedUnblockCor_ = int(VarToInt(strings.value(3)));
    edtBlockCOR->setText(QString::number(loadedBlockCor_));
    edtDefUnblockCOR->setText(QString::number(loadedUnblockCor_));
    Fill(definityDelays_, definity[2]);
    cbUseSimulation->setChecked(false);
    cbUseSimulation->hide();
    DefinityPortFrame->LoadSettings(VarToStr(definity[0]));

    const QVariantList hipath = dm_.Fetch(TOptionsDM::TGroup::HiPath);
    ledtSiemensIpAddress->setText(VarToStr(hipath[0]));
    ludedtSiemensTcpPort->SetPosition(int(VarToInt(hipath[1])));
    const QVariantList hipathStrings = hipath[2].toList();
    edtSiemensUsername->setText(VarToStr(hipathStrings.value(0)));
    edtSiemensPassword->setText(VarToStr(hipathStrings.value(1)));
    loadedMaxList_ = int(VarToInt(hipathStrings.value(2)));
    edtMaxListNumber->setText(QString::number(loadedMaxList_));
    Fill(siemensDelays_, hipath[3]);

    const QVariantList modem = dm_.Fetch(TOptionsDM::TGroup::Modem);
    Fill(modemCommands_, modem[4]);
    ModemPortFrame->LoadSettings(VarToStr(modem[0]));
    Fill(modemAnswers_, modem[1]);
    Fill(modemStrings_, modem[2]);
    Fill(modemDelays_, modem[3]);

    const QVariantList direct = dm_.Fetch(TOptionsDM::TGroup::Direct);
    Fill(directDelays_, direct[1]);
    Fill(directCommands_, direct[2]);
    chkUseReceiverChannel->setChecked(VarToInt(direct[3]) != 0);
    DirectPortFrame->setHidden(chkUseReceiverChannel->isChecked());
    DirectPortFrame->LoadSettings(VarToStr(direct[0]));
}

void TOptionsForm::LoadArchiving()
{
    const QVariantList v = dm_.Fetch(TOptionsDM::TGroup::Archiving);
    cbAutomaticArchiving->setChecked(VarToInt(v[0]) != 0);
    UpdateArchiving();
    ludedtArchivePeriod->SetPosition(DaysToDurationScale(VarToDateTime(v[1])));
    ludedtArchiveKeepLast->SetPosition(DaysToDurationScale(VarToDateTime(v[2])));
    const TDateTime next = VarToDateTime(v[3]);
    dtpNextArchiveDate->setDate(DateTimeToQDate(std::floor(next)));
    dtpNextArchiveTime->setTime(DateTimeToQDateTime(next).time());
    UpdateArchiveInterval();
}

void TOptionsForm::UpdateServerClient()
{
    const bool server = grpApplicationIsServer->ItemIndex() == 0;
    ludedtMaxActiveConnections->setVisible(server);
    lblMaxConnections->setVisible(server);
    lblIpAddress->setVisible(!server);
    ledtIpAddress->setVisible(!server);
}

void TOptionsForm::UpdateArchiving()
{
    const bool on = cbAutomaticArchiving->isChecked();
    grpAutoArchive->setEnabled(on);
    grpNextArchiveScope->setEnabled(on);
}

double TOptionsForm::NextArchive() const
{
    return DateTimeFromQDate(dtpNextArchiveDate->date()) + dtpNextArchiveTime->time().msecsSinceStartOfDay() / 86400000.0;
}

void TOptionsForm::UpdateArchiveInterval()
{
    const double end = NextArchive() - DurationScaleToDays(qint16(ludedtArchiveKeepLast->Position()));
    const double start = end - DurationScaleToDays(qint16(ludedtArchivePeriod->Position()));
    lblNextArchiveStart->setText(LongDateTime(start));
    lblNextArchiveEnd->setText(LongDateTime(end));
}

// "Never" charges nothing, so nothing can be blocked for it.
void TOptionsForm::UpdateCharging()
{
    const std::pair<TRadioGroup*, QCheckBox*> rules[] = {{rgExtensionCharging, chkExtBlocking},
                                                          {rgCodeCharging, chkPinBlocking}};
    for (const auto& [charging, blocking] : rules) {
        const bool never = charging->ItemIndex() == 0;
        if (never)
            blocking->setChecked(false);
        blocking->setEnabled(!never);
    }
}

bool TOptionsForm::ValidatePorts() const
{
    return ReceiverPortFrame->ValidateSettings(tr("for receiver.")) &&
           DefinityPortFrame->ValidateSettings(tr("for Definity.")) &&
           ModemPortFrame->ValidateSettings(tr("for modem.")) &&
           DirectPortFrame->ValidateSettings(tr("for direct commands."));
}

void TOptionsForm::Apply()
{
    if (!ValidatePorts())
        return;
    const int status = services_ ? services_->AddStatus(tr("Applying and saving options...")) : 0;
    const auto clear = qScopeGuard([this, status] {
        if (services_)
            services_->ClearStatus(status);
    });
    const bool bulgarian = rgLanguage->ItemIndex() == 0;
    StoreLanguage(QCoreApplication::applicationFilePath(), bulgarian ? TLanguage::Bulgarian : TLanguage::English);
    dm_.SetServerLanguage(bulgarian ? 0 : 1);
    ApplyReceiver();
    ApplyReports();
    ApplyExchangeGroups();
    ApplyArchiving();
    accept();
}

void TOptionsForm::ApplyReceiver()
{
    const double restartDays = DurationScaleToDays(qint16(ludedtRestartReceiverTimeout->Position()));
    dm_.Send(TOptionsDM::TGroup::Receiver,
             {Bool16(grpReceiverType->ItemIndex() == 1), ReceiverPortFrame->SaveSettings(), ledtIpAddress->text(),
              Bool16(grpApplicationIsServer->ItemIndex() == 0), ludedtSocketPort->Position(),
              ludedtMaxActiveConnections->Position(), ludedtPauseBufferSize->Position(),
              ludedtResumeBufferSize->Position(), ludedtMaxPendingRecordCount->Position(),
              ludedtMaxPendingInterval->Position(), int(std::round(restartDays * 86400))});
}

void TOptionsForm::ApplyReports()
{
    TOptionsDM::TReportSettings s;
    s.DateTimeFormat = edtDateTimeFormat->text();
    s.DurationFormat = edtDurationFormat->text();
    s.AutoRefresh = (cbReportStartup->isChecked() ? 1 : 0) + (cbReportTypeChange->isChecked() ? 2 : 0);
    TOptionsDM::SaveReportSettings(s);
}

void TOptionsForm::ApplyExchangeGroups()
{
    dm_.Send(TOptionsDM::TGroup::Limits,
             {VarFromInt16(qint16(rgControlProtocol->ItemIndex())), VarFromInt16(qint16(rgExtensionCharging->ItemIndex())),
              VarFromInt16(qint16(rgCodeCharging->ItemIndex())), Bool16(chkExtBlocking->isChecked()),
              Bool16(chkPinBlocking->isChecked()), VarFromInt16(qint16(ludedtVAT->Position()))});
    dm_.Send(TOptionsDM::TGroup::Definity,
             {DefinityPortFrame->SaveSettings(),
              QVariantList{edtDefinityUsername->text(), edtDefinityPassword->text(),
                           StateToInt(edtBlockCOR->text(), loadedBlockCor_),
                           StateToInt(edtDefUnblockCOR->text(), loadedUnblockCor_)},
              Delays(definityDelays_), Bool16(false)});
    dm_.Send(TOptionsDM::TGroup::HiPath,
             {ledtSiemensIpAddress->text(), ludedtSiemensTcpPort->Position(),
              QVariantList{edtSiemensUsername->text(), edtSiemensPassword->text(),
                           StateToInt(edtMaxListNumber->text(), loadedMaxList_)},
              Delays(siemensDelays_)});
    dm_.Send(TOptionsDM::TGroup::Modem, {ModemPortFrame->SaveSettings(), Texts(modemAnswers_), Texts(modemStrings_),
                                         Delays(modemDelays_), Texts(modemCommands_)});
    dm_.Send(TOptionsDM::TGroup::Direct, {DirectPortFrame->SaveSettings(), Delays(directDelays_),
                                          Texts(directCommands_), Bool16(chkUseReceiverChannel->isChecked())});
}

void TOptionsForm::ApplyArchiving()
{
    dm_.Send(TOptionsDM::TGroup::Archiving,
             {Bool16(cbAutomaticArchiving->isChecked()),
              VarFromDateTime(DurationScaleToDays(qint16(ludedtArchivePeriod->Position()))),
              VarFromDateTime(DurationScaleToDays(qint16(ludedtArchiveKeepLast->Position()))),
              VarFromDateTime(NextArchive())});
}
