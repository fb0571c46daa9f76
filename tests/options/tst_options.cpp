// The options dialog against a real server: each group fetched, edited, applied and
// fetched again equal; a wrong port stops Apply with nothing sent; Cancel sends and writes
// nothing; the page rules (server or client, archiving, charging, VAT, delays, COR
// numbers, port sharing, the archive interval); the serial port frame's text both ways and
// its checks; which help file a page shows.

#include "calls/Globals.h"
#include "core/DateTime.h"
#include "core/Variants.h"
#include "options/FormOptions.h"
#include "options/SerialPortFrame.h"
#include "shell/base/IniFiles32.h"
#include "shell/base/LanguageStore.h"
#include "support/ConnectedClient.h"
#include "support/InstalledAnswerer.h"
#include "widgets/LabeledUpDownEdit.h"
#include "widgets/RadioGroup.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>

#include <memory>

namespace {

using TGroup = TOptionsDM::TGroup;

// A logged-in administrator with a settings file of its own.
struct TOptionsFixture {
    TOptionsFixture()
    {
        InstallSettingsFile(std::make_unique<TIniFile32>(Dir.filePath(QStringLiteral("client.ini"))));
    }
    ~TOptionsFixture() { ReleaseSettingsFile(); }

    TOptionsDM Dm()
    {
        return TOptionsDM(C.Client.Main(), C.Client.Module("ReceiverRDM"), C.Client.Module("ArchivesRDM"),
                          C.Client.Module("CommandsRDM"));
    }
    std::unique_ptr<TOptionsForm> Open() { return std::make_unique<TOptionsForm>(nullptr, Dm()); }

    QTemporaryDir Dir;
    TConnectedClient C;
};

template <typename T>
T* Find(QWidget* form, const char* name)
{
    T* w = form->findChild<T*>(QLatin1String(name));
    if (!w)
        qWarning("no %s", name);
    return w;
}

TLabeledUpDownEdit* UpDown(QWidget* form, const char* name)
{
    return Find<TLabeledUpDownEdit>(form, name);
}

// Types into a numeric edit and leaves it with Enter, as a user does.
void Type(TLabeledUpDownEdit* edit, const QString& text)
{
    auto* line = edit->findChild<QAbstractSpinBox*>(QStringLiteral("edtPosition"));
    line->selectAll();
    QTest::keyClicks(line, text);
    QTest::keyClick(line, Qt::Key_Return);
}

QLineEdit* Line(QWidget* form, const char* name)
{
    return Find<QLineEdit>(form, name);
}

QComboBox* Combo(QWidget* frame, const char* name)
{
    return frame->findChild<QComboBox*>(QLatin1String(name));
}

void Click(QWidget* form, const char* button)
{
    QTest::mouseClick(Find<QPushButton>(form, button), Qt::LeftButton);
}

}  // namespace

class TestOptions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        RegisterProtocolTypes();
        // The language store is the user's own settings: tests keep to a place of theirs.
        QStandardPaths::setTestModeEnabled(true);
    }

    void frameText_data()
    {
        QTest::addColumn<QString>("loaded");
        QTest::addColumn<QString>("saved");
        const QString defaults = QStringLiteral("\\\\.\\COM1,9600,3,0,0,2,False,True,False");
        QTest::newRow("defaults") << QString() << defaults;
        QTest::newRow("every field") << QStringLiteral("2,4800,2,1,2,0,true,false,true")
                                     << QStringLiteral("2,4800,2,1,2,0,True,False,True");
        QTest::newRow("port name only keeps the rest") << QStringLiteral("COM7")
                                                       << QStringLiteral("COM7,9600,3,0,0,2,False,True,False");
        QTest::newRow("unreadable data bits") << QStringLiteral("COM1,9600,x") << QStringLiteral("COM1,9600,3,0,0,2,False,True,False");
        QTest::newRow("index outside the list") << QStringLiteral("COM1,9600,1,7,3,5")
                                                << QStringLiteral("COM1,9600,1,0,0,2,False,True,False");
        QTest::newRow("DTR 0, flags as numbers") << QStringLiteral("COM1,9600,3,0,0,2,5,0,yes")
                                                 << QStringLiteral("COM1,9600,3,0,0,2,True,False,False");
    }

    void frameText()
    {
        QFETCH(QString, loaded);
        QFETCH(QString, saved);
        TSerialPortFrame frame;
        frame.LoadSettings(loaded);
        QCOMPARE(frame.SaveSettings(), saved);
    }

    void frameChecks_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QString>("error");  // empty: valid
        const QString baud = QStringLiteral("Please, enter a valid baud rate. for modem.");
        QTest::newRow("109") << "COM1" << "109" << baud;
        QTest::newRow("110") << "COM1" << "110" << QString();
        QTest::newRow("921600") << "COM1" << "921600" << QString();
        QTest::newRow("921601") << "COM1" << "921601" << baud;
        QTest::newRow("9600 and a blank") << "COM1" << "9600 " << baud;
        QTest::newRow("not a number") << "COM1" << "fast" << baud;
        QTest::newRow("blank port name") << "   " << "9600" << QStringLiteral("Please, enter a valid port name for modem.");
    }

    void frameChecks()
    {
        QFETCH(QString, port);
        QFETCH(QString, baud);
        QFETCH(QString, error);
        TInstalledAnswerer answerer;
        TSerialPortFrame frame;
        Combo(&frame, "cbPortName")->setCurrentText(port);
        Combo(&frame, "cbBaudRate")->setCurrentText(baud);
        QCOMPARE(frame.ValidateSettings(QStringLiteral("for modem.")), error.isEmpty());
        QCOMPARE(answerer.Asked().size(), error.isEmpty() ? 0 : 1);
        if (!error.isEmpty())
            QCOMPARE(answerer.Asked().first().Text, error);
    }

    // Every group edited and applied comes back equal, and the client's settings are written.
    void applyThenFetchAgain()
    {
        TOptionsFixture f;
        QVERIFY2(f.C.Ready(), qPrintable(f.C.Error()));
        QVariantList definity = f.Dm().Fetch(TGroup::Definity);
        definity[1] = QVariantList{QStringLiteral("craft"), QString(), 7, 1};
        f.Dm().Send(TGroup::Definity, definity);
        auto form = f.Open();
        StoreLanguage(QCoreApplication::applicationFilePath(), TLanguage::English);
        Find<TRadioGroup>(form.get(), "rgLanguage")->SetItemIndex(0);
        Find<TRadioGroup>(form.get(), "grpReceiverType")->SetItemIndex(0);
        Find<TSerialPortFrame>(form.get(), "ReceiverPortFrame")->LoadSettings(QStringLiteral("/dev/ttyS2,19200,3,2,0,0"));
        Find<TRadioGroup>(form.get(), "grpApplicationIsServer")->SetItemIndex(1);
        Line(form.get(), "ledtIpAddress")->setText(QStringLiteral("10.0.0.5"));
        UpDown(form.get(), "ludedtSocketPort")->SetPosition(9200);
        UpDown(form.get(), "ludedtPauseBufferSize")->SetPosition(40);
        UpDown(form.get(), "ludedtMaxPendingRecordCount")->SetPosition(50);
        Type(UpDown(form.get(), "ludedtMaxPendingInterval"), FormatDuration(120));
        Find<QCheckBox>(form.get(), "cbReportStartup")->setChecked(false);
        Find<QCheckBox>(form.get(), "cbReportTypeChange")->setChecked(true);
        Line(form.get(), "edtDateTimeFormat")->setText(QStringLiteral("dd.mm.yyyy hh:nn"));
        Find<TRadioGroup>(form.get(), "rgControlProtocol")->SetItemIndex(2);
        Type(UpDown(form.get(), "ludedtVAT"), QStringLiteral("18.5%"));
        Line(form.get(), "edtModemBlockExt")->setText(QStringLiteral("*51* "));  // sent with its blank
        Line(form.get(), "edtModemConnectDelay")->setText(QStringLiteral("  250 "));
        Line(form.get(), "edtRogerDelay")->setText(QString());  // empty: 100
        Line(form.get(), "edtBlockCOR")->setText(QStringLiteral("seven"));  // keeps the COR loaded
        Find<QCheckBox>(form.get(), "cbAutomaticArchiving")->setChecked(true);
        Click(form.get(), "btnOK");
        QCOMPARE(form->result(), int(QDialog::Accepted));

        TOptionsDM dm = f.Dm();
        QCOMPARE(StoredLanguage(QCoreApplication::applicationFilePath()), TLanguage::Bulgarian);
        QCOMPARE(dm.ServerLanguage(), 0);
        const QVariantList receiver = dm.Fetch(TGroup::Receiver);
        QCOMPARE(VarToInt(receiver[0]), 0);
        QCOMPARE(VarToStr(receiver[1]), QStringLiteral("/dev/ttyS2,19200,3,2,0,0,False,True,False"));
        QCOMPARE(VarToStr(receiver[2]), QStringLiteral("10.0.0.5"));
        QCOMPARE(VarToInt(receiver[3]), 0);
        QCOMPARE(VarToInt(receiver[4]), 9200);
        QCOMPARE(VarToInt(receiver[6]), 40);
        QCOMPARE(VarToInt(receiver[8]), 50);
        QCOMPARE(VarToInt(receiver[9]), 120);
        QCOMPARE(VarToInt(receiver[10]), 86400);  // the server's default, one day, back as it came
        const QVariantList limits = dm.Fetch(TGroup::Limits);
        QCOMPARE(VarToInt(limits[0]), 2);
        QCOMPARE(VarToInt(limits[5]), 185);
        const QVariantList modem = dm.Fetch(TGroup::Modem);
        QCOMPARE(modem[4].toList().at(0).toString(), QStringLiteral("*51* "));
        QCOMPARE(modem[3].toList().at(0).toInt(), 250);
        QCOMPARE(modem[3].toList().at(1).toInt(), 100);
        QCOMPARE(dm.Fetch(TGroup::Definity)[1].toList().at(2).toInt(), 7);
        QVERIFY(VarToInt(dm.Fetch(TGroup::Archiving)[0]) != 0);
        QCOMPARE(SettingsFile().ReadInteger(QStringLiteral("Report"), QStringLiteral("auto_refresh"), -1), 2);
        QCOMPARE(SettingsFile().ReadString(QStringLiteral("Report"), QStringLiteral("date_time_format"), {}),
                 QStringLiteral("dd.mm.yyyy hh:nn"));

        // Opened again, the dialog shows what was applied.
        auto again = f.Open();
        QCOMPARE(Find<TRadioGroup>(again.get(), "rgControlProtocol")->ItemIndex(), 2);
        QCOMPARE(UpDown(again.get(), "ludedtVAT")->Position(), 185);
        QCOMPARE(Line(again.get(), "edtModemBlockExt")->text(), QStringLiteral("*51* "));
        QVERIFY(!Line(again.get(), "ledtIpAddress")->isHidden());
    }

    // A restart time-out of an hour shows the hour and goes back as 3600 s; both refresh
    // boxes store 3.
    void restartTimeoutOfAnHour()
    {
        TOptionsFixture f;
        QVERIFY2(f.C.Ready(), qPrintable(f.C.Error()));
        QVariantList receiver = f.Dm().Fetch(TGroup::Receiver);
        receiver[10] = 3600;
        f.Dm().Send(TGroup::Receiver, receiver);
        auto form = f.Open();
        TLabeledUpDownEdit* restart = UpDown(form.get(), "ludedtRestartReceiverTimeout");
        QCOMPARE(DurationScaleToDays(qint16(restart->Position())) * 86400, 3600.0);
        QCOMPARE(restart->Text(), FormatDurationDays(1.0 / 24));
        Find<QCheckBox>(form.get(), "cbReportStartup")->setChecked(true);
        Find<QCheckBox>(form.get(), "cbReportTypeChange")->setChecked(true);
        Click(form.get(), "btnOK");
        QCOMPARE(VarToInt(f.Dm().Fetch(TGroup::Receiver)[10]), 3600);
        QCOMPARE(SettingsFile().ReadInteger(QStringLiteral("Report"), QStringLiteral("auto_refresh"), -1), 3);
    }

    // A wrong port, also of a protocol not chosen or of a hidden frame, stops Apply before
    // anything is sent; Cancel sends and writes nothing.
    void nothingSent_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<bool>("sharePort");
        QTest::addColumn<QString>("error");  // empty: Cancel instead of Apply
        QTest::newRow("modem baud rate") << "ModemPortFrame" << false
                                         << QStringLiteral("Please, enter a valid baud rate. for modem.");
        QTest::newRow("hidden direct port") << "DirectPortFrame" << true
                                            << QStringLiteral("Please, enter a valid baud rate. for direct commands.");
        QTest::newRow("cancel") << "ReceiverPortFrame" << false << QString();
    }

    void nothingSent()
    {
        QFETCH(QString, frame);
        QFETCH(bool, sharePort);
        QFETCH(QString, error);
        TOptionsFixture f;
        QVERIFY2(f.C.Ready(), qPrintable(f.C.Error()));
        const QVariantList receiverBefore = f.Dm().Fetch(TGroup::Receiver);
        const QVariantList limitsBefore = f.Dm().Fetch(TGroup::Limits);
        TInstalledAnswerer answerer;
        auto form = f.Open();
        form->show();
        UpDown(form.get(), "ludedtSocketPort")->SetPosition(4321);
        UpDown(form.get(), "ludedtVAT")->SetPosition(55);
        Find<QCheckBox>(form.get(), "cbReportTypeChange")->setChecked(false);
        Find<QCheckBox>(form.get(), "chkUseReceiverChannel")->setChecked(sharePort);
        auto* port = form->findChild<TSerialPortFrame*>(frame);
        Combo(port, "cbBaudRate")->setCurrentText(QStringLiteral("109"));
        QCOMPARE(port->isHidden(), sharePort);
        Click(form.get(), error.isEmpty() ? "btnCancel" : "btnOK");
        if (error.isEmpty()) {
            QCOMPARE(form->result(), int(QDialog::Rejected));
            QVERIFY(answerer.Asked().isEmpty());
        } else {
            QVERIFY(form->isVisible());  // stays open
            QCOMPARE(answerer.Asked().size(), 1);
            QCOMPARE(answerer.Asked().first().Text, error);
        }
        QCOMPARE(VarToInt(f.Dm().Fetch(TGroup::Receiver)[4]), VarToInt(receiverBefore[4]));
        QCOMPARE(VarToInt(f.Dm().Fetch(TGroup::Limits)[5]), VarToInt(limitsBefore[5]));
        QVERIFY(!QFile::exists(f.Dir.filePath(QStringLiteral("client.ini"))));
    }

    void vatTexts_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("shown");
        QTest::newRow("20 %") << 200 << QString() << 200 << QStringLiteral("20%");
        QTest::newRow("18.5%") << 200 << QStringLiteral("18.5%") << 185 << QStringLiteral("18.5%");
        QTest::newRow("comma") << 200 << QStringLiteral("7,25") << 73 << QStringLiteral("7.3%");
        QTest::newRow("abc keeps") << 200 << QStringLiteral("abc") << 200 << QStringLiteral("20%");
    }

    void vatTexts()
    {
        QFETCH(int, start);
        QFETCH(QString, typed);
        QFETCH(int, position);
        QFETCH(QString, shown);
        TOptionsFixture f;
        QVERIFY2(f.C.Ready(), qPrintable(f.C.Error()));
        auto form = f.Open();
        TLabeledUpDownEdit* vat = UpDown(form.get(), "ludedtVAT");
        vat->SetPosition(start);
        if (!typed.isEmpty())
            Type(vat, typed);
        QCOMPARE(vat->Position(), position);
        QCOMPARE(vat->Text(), shown);
    }

    // The live rules of the pages.
    void pageRules()
    {
        TOptionsFixture f;
        QVERIFY2(f.C.Ready(), qPrintable(f.C.Error()));
        auto form = f.Open();
        QWidget* w = form.get();
        form->show();
        auto* isServer = Find<TRadioGroup>(w, "grpApplicationIsServer");
        isServer->Button(1)->click();
        // The page is not the one shown: what counts is whether a control is hidden itself.
        QVERIFY(!Line(w, "ledtIpAddress")->isHidden());
        QVERIFY(UpDown(w, "ludedtMaxActiveConnections")->isHidden());
        isServer->Button(0)->click();
        QVERIFY(Line(w, "ledtIpAddress")->isHidden());
        QVERIFY(!UpDown(w, "ludedtMaxActiveConnections")->isHidden());

        auto* archiving = Find<QCheckBox>(w, "cbAutomaticArchiving");
        archiving->setChecked(true);
        QVERIFY(UpDown(w, "ludedtArchivePeriod")->isEnabled());
        archiving->setChecked(false);
        for (const char* name : {"ludedtArchivePeriod", "ludedtArchiveKeepLast", "dtpNextArchiveTime",
                                 "dtpNextArchiveDate", "lblNextArchiveStart", "lblNextArchiveEnd"})
            QVERIFY2(!Find<QWidget>(w, name)->isEnabled(), name);

        auto* charging = Find<TRadioGroup>(w, "rgExtensionCharging");
        auto* blocking = Find<QCheckBox>(w, "chkExtBlocking");
        charging->Button(2)->click();
        blocking->setChecked(true);
        charging->Button(0)->click();
        QVERIFY(!blocking->isChecked());
        QVERIFY(!blocking->isEnabled());
        charging->Button(2)->click();
        QVERIFY(blocking->isEnabled());
        QVERIFY(!blocking->isChecked());

        auto* share = Find<QCheckBox>(w, "chkUseReceiverChannel");
        share->setChecked(true);
        QVERIFY(Find<QWidget>(w, "DirectPortFrame")->isHidden());
        share->setChecked(false);
        QVERIFY(!Find<QWidget>(w, "DirectPortFrame")->isHidden());
    }

    // Keep 0 and a period of a day: the archive ends at the next archive and starts a day
    // earlier.
    void archiveInterval()
    {
        TOptionsFixture f;
        QVERIFY2(f.C.Ready(), qPrintable(f.C.Error()));
        f.Dm().Send(TGroup::Archiving,
                    {QVariant(true), VarFromDateTime(1), VarFromDateTime(0), VarFromDateTime(EncodeDateTime(2031, 5, 6, 2, 30))});
        auto form = f.Open();
        const QString end = Find<QLabel>(form.get(), "lblNextArchiveEnd")->text();
        const QString start = Find<QLabel>(form.get(), "lblNextArchiveStart")->text();
        QCOMPARE(end, QLocale::system().toString(QDate(2031, 5, 6), QLocale::LongFormat) + QStringLiteral(" 02:30:00"));
        QCOMPARE(start, QLocale::system().toString(QDate(2031, 5, 5), QLocale::LongFormat) + QStringLiteral(" 02:30:00"));
        QCOMPARE(Find<QDateEdit>(form.get(), "dtpNextArchiveDate")->date(), QDate(2031, 5, 6));
    }

    // Every page has its help in both languages among the pages shipped in help/.
    void everyPageHasItsHelp()
    {
        const QString root = qEnvironmentVariable("TELVANE_SOURCE_DIR");
        QVERIFY2(!root.isEmpty(), "TELVANE_SOURCE_DIR is not set");
        const QString helpDir = root + QStringLiteral("/src/resources/help/");
        TOptionsFixture f;
        QVERIFY2(f.C.Ready(), qPrintable(f.C.Error()));
        auto form = f.Open();
        auto* pages = form->findChild<QStackedWidget*>(QStringLiteral("pgcOptions"));
        QCOMPARE(pages->count(), 16);
        for (int i = 0; i < pages->count(); ++i) {
            const QString name = pages->widget(i)->objectName().mid(2);
            for (bool bulgarian : {false, true})
                QVERIFY2(TOptionsForm::HelpFileOf(helpDir, name, bulgarian)
                             .endsWith((bulgarian ? QStringLiteral("bg/options/") : QStringLiteral("en/options/")) +
                                       name + QStringLiteral(".html")),
                         qPrintable(name));
        }
        QVERIFY(QFileInfo::exists(helpDir + QStringLiteral("TelvaneControl.html")));
    }

    void helpFile_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<bool>("bulgarian");
        QTest::addColumn<QString>("shown");
        QTest::newRow("bg page") << QStringList{"bg/options/Buffer.html", "en/options/Buffer.html"} << true
                                 << "bg/options/Buffer.html";
        QTest::newRow("bg falls back to en") << QStringList{"en/options/Buffer.html"} << true << "en/options/Buffer.html";
        QTest::newRow("bg empty") << QStringList{"en/options/Empty.html"} << true << "bg/options/Empty.html";
        QTest::newRow("en page") << QStringList{"bg/options/Buffer.html", "en/options/Buffer.html"} << false
                                 << "en/options/Buffer.html";
        QTest::newRow("en empty") << QStringList{"bg/options/Buffer.html"} << false << "en/options/Empty.html";
    }

    void helpFile()
    {
        QFETCH(QStringList, present);
        QFETCH(bool, bulgarian);
        QFETCH(QString, shown);
        QTemporaryDir dir;
        for (const QString& file : present) {
            QVERIFY(QDir(dir.path()).mkpath(QFileInfo(file).path()));
            QFile f(dir.filePath(file));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QCOMPARE(TOptionsForm::HelpFileOf(dir.path() + QLatin1Char('/'), QStringLiteral("Buffer"), bulgarian),
                 dir.filePath(shown));
    }
};

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
