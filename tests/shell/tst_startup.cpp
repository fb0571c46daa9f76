// The start-up window and the connection: the countdown, the server history, the port,
// address or host name, refused and unreachable servers, the set-up hints and pictures.

#include "shell/base/CommaText.h"
#include "support/ShellFixture.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QToolButton>

#include <memory>

class TestStartup : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TShellFixture> f;

    QStringList StoredHistory() const
    {
        return SplitCommaText(
            SettingsFile().ReadString(QStringLiteral("Server"), QStringLiteral("host"), QString()));
    }
    void WriteHistory(const QString& commaText)
    {
        SettingsFile().WriteString(QStringLiteral("Server"), QStringLiteral("host"), commaText);
    }

private Q_SLOTS:
    void init() { f = std::make_unique<TShellFixture>(); }
    void cleanup() { f.reset(); }

    void commaText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << "A,B,C" << QStringList{"A", "B", "C"} << "A,B,C";
        QTest::newRow("blanks around items") << "  a , b  " << QStringList{"a", "b"} << "a,b";
        QTest::newRow("quoted blank and comma")
            << "\"my host\",\"x,y\"" << QStringList{"my host", "x,y"} << "\"my host\",\"x,y\"";
        QTest::newRow("doubled quote")
            << "\"say \"\"hi\"\"\"" << QStringList{"say \"hi\""} << "\"say \"\"hi\"\"\"";
        QTest::newRow("blank ends an unquoted item") << "one two" << QStringList{"one", "two"} << "one,two";
        QTest::newRow("empty") << "" << QStringList{} << "";
    }
    void commaText()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, items);
        QFETCH(QString, written);
        QCOMPARE(SplitCommaText(text), items);
        QCOMPARE(JoinCommaText(items), written);
        QCOMPARE(SplitCommaText(JoinCommaText(items)), items);
    }

    void countdownConnectsToTheFirstServer()
    {
        QVERIFY(f->StartServer());
        TSplashForm splash(true);
        QCOMPARE(splash.cmbServer->count(), 1);
        QCOMPARE(splash.cmbServer->currentText(), QStringLiteral("localhost"));
        QCOMPARE(splash.lblVersion->text(), QStringLiteral("v3.2.0 "));
        QElapsedTimer shown;
        splash.show();
        shown.start();
        QTRY_VERIFY_WITH_TIMEOUT(shown.elapsed() >= 2000, 5000);
        QVERIFY(!f->Connected());
        QVERIFY(splash.CaptionColor().red() > 0);
        QTRY_VERIFY_WITH_TIMEOUT(f->Connected(), 15000);
        QCOMPARE(splash.result(), int(QDialog::Accepted));
        QCOMPARE(splash.CaptionColor(), QColor(Qt::black));
        QCOMPARE(ServerHost(), QStringLiteral("LOCALHOST"));
        QCOMPARE(StoredHistory(), QStringList{"LOCALHOST"});
    }

    void userStopsTheCountdown_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("key press in the server box") << "key";
        QTest::newRow("mouse enters the server box") << "server";
        QTest::newRow("mouse enters Connect") << "button";
    }
    void userStopsTheCountdown()
    {
        QFETCH(QString, how);
        QVERIFY(f->StartServer());
        TSplashForm splash(true);
        splash.show();
        QTRY_VERIFY(splash.CaptionColor().red() >= 20);
        if (how == QLatin1String("key")) {
            QTest::keyClick(splash.cmbServer->lineEdit(), Qt::Key_End);
        } else {
            QWidget* target = how == QLatin1String("server") ? static_cast<QWidget*>(splash.cmbServer)
                                                             : static_cast<QWidget*>(splash.btnConnect);
            QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), target->mapToGlobal(QPointF(2, 2)));
            QCoreApplication::sendEvent(target, &enter);
        }
        QVERIFY(!splash.CountingDown());
        QCOMPARE(splash.CaptionColor(), QColor(Qt::black));
        // Well past the moment the countdown would have connected.
        QTest::qWait(3000);
        QVERIFY(!f->Connected());
        QVERIFY(splash.isVisible());
        QCOMPARE(splash.cmbServer->currentText(), QStringLiteral("localhost"));
    }

    void historyRules_data()
    {
        QTest::addColumn<QString>("history");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("stored");
        QTest::newRow("lower case with blanks") << ""
                                                << "  localhost  " << QStringList{"LOCALHOST"};
        QTest::newRow("five plus a new one keeps five")
            << "A,B,C,D,E"
            << "127.0.0.1" << QStringList{"127.0.0.1", "A", "B", "C", "D"};
        QTest::newRow("an existing entry moves to the top")
            << "A,B,LocalHost,C"
            << "localhost" << QStringList{"LOCALHOST", "A", "B", "C"};
        QTest::newRow("quoted entries stay") << "\"my host\",B"
                                             << "127.0.0.1" << QStringList{"127.0.0.1", "my host", "B"};
    }
    void historyRules()
    {
        QFETCH(QString, history);
        QFETCH(QString, typed);
        QFETCH(QStringList, stored);
        QVERIFY(f->StartServer());
        WriteHistory(history);
        TSplashForm splash(true);
        splash.StopCountdown();
        splash.cmbServer->setEditText(typed);
        splash.actConnect->trigger();
        QVERIFY(f->Connected());
        QCOMPARE(ServerHost(), typed.trimmed().toUpper());
        QCOMPARE(StoredHistory(), stored);
        // Saved at once: the file on disk has it too.
        TIniFile32 onDisk(SettingsFileName());
        QCOMPARE(
            SplitCommaText(onDisk.ReadString(QStringLiteral("Server"), QStringLiteral("host"), QString())),
            stored);
        QCOMPARE(splash.result(), int(QDialog::Accepted));
    }

    void enterInTheServerBoxConnects()
    {
        QVERIFY(f->StartServer());
        TSplashForm splash(true);
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        QLineEdit* edit = splash.cmbServer->lineEdit();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral(" 127.0.0.1 "));
        QVERIFY(!splash.CountingDown());
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(f->Connected());
        QCOMPARE(splash.result(), int(QDialog::Accepted));
        QCOMPARE(StoredHistory(), (QStringList{"127.0.0.1", "localhost"}));
    }

    void blankServerOnlyLeavesClose()
    {
        QVERIFY(f->StartServer());
        WriteHistory(QStringLiteral("A,B"));
        TSplashForm splash(true);
        splash.show();
        splash.cmbServer->setEditText(QStringLiteral("   "));
        splash.actConnect->trigger();
        QVERIFY(!ClientMainForm());
        QVERIFY(!f->Connected());
        QVERIFY(!splash.CountingDown());
        QVERIFY(!splash.actConnect->isEnabled());
        QVERIFY(!splash.cmbServer->isEnabled());
        QVERIFY(splash.isVisible());
        QCOMPARE(StoredHistory(), (QStringList{"A", "B"}));
        splash.actClose->trigger();
        QCOMPARE(splash.result(), int(QDialog::Rejected));
    }

    void escapeEndsWithoutConnecting_data()
    {
        QTest::addColumn<bool>("inServerBox");
        QTest::newRow("window") << false;
        QTest::newRow("typing in the server box") << true;
    }
    void escapeEndsWithoutConnecting()
    {
        QFETCH(bool, inServerBox);
        QVERIFY(f->StartServer());
        TSplashForm splash(true);
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        if (inServerBox)
            QTest::keyClick(splash.cmbServer->lineEdit(), Qt::Key_Escape);
        else
            QTest::keyClick(&splash, Qt::Key_Escape);
        QVERIFY(!splash.isVisible());
        QCOMPARE(splash.result(), int(QDialog::Rejected));
        QVERIFY(ServerHost().isEmpty());
        QVERIFY(!ClientMainForm());
        QVERIFY(!ClientMainDM());
    }

    void portFromSettings_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::newRow("decimal") << "";
        QTest::newRow("hexadecimal 0x") << "0x";
        QTest::newRow("hexadecimal 0X") << "0X";
    }
    void portFromSettings()
    {
        QFETCH(QString, prefix);
        QVERIFY(f->StartServer());
        const quint16 port = f->Server.Port();
        SettingsFile().WriteString(QStringLiteral("Server"), QStringLiteral("port"),
                                   prefix + QString::number(port, prefix.isEmpty() ? 10 : 16));
        f->Connect();
        QVERIFY(f->Connected());
        QCOMPARE(ClientMainDM()->sktServer.Port(), port);
    }

    void addressOrHostName_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<bool>("connects");
        QTest::newRow("dotted address") << "127.0.0.1" << true << true;
        QTest::newRow("name without a dot") << "LOCALHOST" << false << true;
        QTest::newRow("dotted host name") << "NO-SUCH-HOST.INVALID" << false << false;
    }
    void addressOrHostName()
    {
        QFETCH(QString, server);
        QFETCH(bool, numeric);
        QFETCH(bool, connects);
        QVERIFY(f->StartServer());
        f->Connect(server);
        QCOMPARE(f->Connected(), connects);
        const TSocketConnection& socket = ClientMainDM()->sktServer;
        QCOMPARE(socket.Address(), numeric ? server : QString());
        QCOMPARE(socket.Host(), numeric ? QString() : server);
    }

    void unreachableServerWarnsAndLogs()
    {
        // A port that nobody listens on.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        SettingsFile().WriteInteger(QStringLiteral("Server"), QStringLiteral("port"), port);
        f->Connect();
        QVERIFY(!f->Connected());
        QCOMPARE(f->Answerer.Asked().size(), 1);
        const TScriptedAnswerer::TAsked box = f->Answerer.Asked().first();
        QCOMPARE(box.Kind, TMsgKind::Warning);
        QVERIFY(box.Text.endsWith(QStringLiteral("\nTelvane Client will now close.")));
        const QString socketMessage = box.Text.section(QLatin1Char('\n'), 0, 0);
        QVERIFY(!socketMessage.isEmpty());
        QVERIFY(f->LogEntries().contains(QStringLiteral("3: ") + socketMessage));
        // Not in the live log.
        QCoreApplication::processEvents();
        QVERIFY(!ClientMainForm()->memoLiveLog->toPlainText().contains(socketMessage));
    }

    void refusedHandshake_data()
    {
        QTest::addColumn<int>("serverVersion");
        QTest::addColumn<QString>("message");
        QTest::newRow("same version") << 320 << "Telvane Server rejected the connection.";
        QTest::newRow("other version")
            << 310 << "Telvane Client version 320 cannot connect to Telvane Server version 310.";
    }
    void refusedHandshake()
    {
        QFETCH(int, serverVersion);
        QFETCH(QString, message);
        f->Server.Options().ServerVersion = serverVersion;
        QVERIFY(f->StartServer());
        if (serverVersion == 320) {
            // A server that refuses and leaves the version as it came.
            f->InstallCall(TModule::Main, 301, [](TClientConnection&, QVariantList& args) { args[5] = -1; });
        }
        f->Connect();
        QVERIFY(!f->Connected());
        QCOMPARE(f->Answerer.Asked().size(), 1);
        QCOMPARE(f->Answerer.Asked().first().Kind, TMsgKind::Warning);
        QCOMPARE(f->Answerer.Asked().first().Text,
                 message + QStringLiteral("\nTelvane Client will now close."));
        for (const QString& entry : f->LogEntries())
            QVERIFY2(!entry.startsWith(QStringLiteral("3: ")), qPrintable(entry));
    }

    void setupHints_data()
    {
        QTest::addColumn<QString>("dataFormat");
        QTest::addColumn<QString>("tariffRules");
        QTest::addColumn<QString>("hints");
        QTest::newRow("nothing configured") << ""
                                            << ""
                                            << "Select a data format.\nConfigure tariff rules.\n";
        QTest::newRow("no tariff rules") << "Head office SMDR"
                                         << ""
                                         << "Configure tariff rules.\n";
        QTest::newRow("all configured") << "Head office SMDR"
                                        << "Local"
                                        << "";
    }
    void setupHints()
    {
        QFETCH(QString, dataFormat);
        QFETCH(QString, tariffRules);
        QFETCH(QString, hints);
        QVERIFY(f->StartServer());
        f->Server.RunOnServer([&](TServer& s) {
            s.Calls().Add({TModule::Admin, 301, level::Locked, 0,
                           [dataFormat](TCallContext&) { return QVariant(dataFormat); }});
            s.Calls().Add({TModule::Admin, 315, level::Locked, 0,
                           [tariffRules](TCallContext&) { return QVariant(tariffRules); }});
        });
        TClientMainForm* form = f->Connect();
        QVERIFY(f->Connected());
        QSignalSpy flushed(form, &TClientMainForm::LiveLogFlushed);
        if (hints.isEmpty()) {
            QTest::qWait(50);
            QCOMPARE(form->memoLiveLog->toPlainText(), QString());
        } else {
            QTRY_VERIFY(flushed.count() > 0);
            QVERIFY2(form->memoLiveLog->toPlainText().endsWith(QLatin1Char('\n') + hints + QLatin1Char('\n')),
                     qPrintable(form->memoLiveLog->toPlainText()));
        }
    }

    void jpegDecodes() { QVERIFY(QImageReader::supportedImageFormats().contains("jpeg")); }

    void loadPicture_data()
    {
        QTest::addColumn<QString>("files");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<QColor>("color");
        QTest::newRow("jpeg") << "jpg" << true << QColor(200, 40, 40);
        QTest::newRow("bitmap") << "bmp" << true << QColor(40, 40, 200);
        QTest::newRow("jpeg before bitmap") << "jpg bmp" << true << QColor(200, 40, 40);
        QTest::newRow("broken jpeg, bitmap") << "badjpg bmp" << true << QColor(40, 40, 200);
        QTest::newRow("none") << "" << false << QColor();
    }
    void loadPicture()
    {
        QFETCH(QString, files);
        QFETCH(bool, loaded);
        QFETCH(QColor, color);
        const QString base = f->Dir.path() + QStringLiteral("/picture");
        if (files.contains(QLatin1String("badjpg"))) {
            QFile bad(base + QStringLiteral(".jpg"));
            QVERIFY(bad.open(QIODevice::WriteOnly));
            bad.write("not a picture");
        } else if (files.contains(QLatin1String("jpg"))) {
            QImage jpeg(64, 32, QImage::Format_RGB32);
            jpeg.fill(QColor(200, 40, 40));
            QVERIFY(jpeg.save(base + QStringLiteral(".jpg"), "JPEG", 95));
        }
        if (files.contains(QLatin1String("bmp"))) {
            QImage bmp(64, 32, QImage::Format_RGB32);
            bmp.fill(QColor(40, 40, 200));
            QVERIFY(bmp.save(base + QStringLiteral(".bmp"), "BMP"));
        }
        QImage image(3, 3, QImage::Format_RGB32);
        image.fill(Qt::green);
        QCOMPARE(TClientMainForm::LoadPicture(base, image), loaded);
        if (!loaded) {
            QCOMPARE(image.size(), QSize(3, 3));
            return;
        }
        QCOMPARE(image.size(), QSize(64, 32));
        QCOMPARE(image.format(), QImage::Format_RGB32);
        const QColor pixel = image.pixelColor(63, 31);
        // JPEG is lossy: near enough.
        QVERIFY(qAbs(pixel.red() - color.red()) <= 4 && qAbs(pixel.green() - color.green()) <= 4 &&
                qAbs(pixel.blue() - color.blue()) <= 4);
    }

    void splashTakesTheLogo_data()
    {
        QTest::addColumn<bool>("logo");
        QTest::addColumn<bool>("connectMode");
        QTest::newRow("logo, connect mode") << true << true;
        QTest::newRow("logo, About box") << true << false;
        QTest::newRow("no logo") << false << true;
    }
    void splashTakesTheLogo()
    {
        QFETCH(bool, logo);
        QFETCH(bool, connectMode);
        QVERIFY(QDir().mkpath(ImagesDir()));
        if (logo) {
            QImage picture(200, 100, QImage::Format_RGB32);
            picture.fill(QColor(10, 120, 30));
            QVERIFY(picture.save(ImagesDir() + QStringLiteral("logo.jpg"), "JPEG", 95));
        }
        TSplashForm splash(connectMode);
        splash.StopCountdown();
        QCOMPARE(splash.PictureLoaded(), logo);
        QCOMPARE(splash.pnlBottom->isVisibleTo(&splash), connectMode);
        if (!logo) {
            QCOMPARE(splash.size(), QSize(320, 240));
            return;
        }
        QCOMPARE(splash.width(), 200);
        QCOMPARE(splash.height(), 100 + (connectMode ? splash.pnlBottom->height() : 0));
        const QColor window = splash.palette().color(QPalette::Window);
        QVERIFY(qAbs(window.green() - 120) <= 4 && qAbs(window.red() - 10) <= 4);
    }

    // The pictures the build ships beside the program decode through the JPEG plugin and
    // are what the windows expect of them.
    void shippedPictures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::newRow("logo") << "logo" << QSize(480, 270);
        QTest::newRow("wallpaper") << "wallpaper" << QSize(1280, 720);
    }
    void shippedPictures()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        const QString base = qEnvironmentVariable("TELVANE_BIN_DIR") + QStringLiteral("/images/") + name;
        QImageReader reader(base + QStringLiteral(".jpg"));
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        QImage image;
        QVERIFY(TClientMainForm::LoadPicture(base, image));
        QCOMPARE(image.size(), size);
        const int right = size.width() - 1, bottom = size.height() - 1;
        const QColor corners[] = {image.pixelColor(0, 0), image.pixelColor(right, 0),
                                  image.pixelColor(0, bottom), image.pixelColor(right, bottom)};
        // Dark blue, under white text (the version, the name).
        for (const QColor& c : corners)
            QVERIFY2(c.blue() > c.red() + 20 && c.lightness() < 110, qPrintable(c.name()));
        if (name == QLatin1String("wallpaper")) {
            // Its edges fade into the colour the main window fills the rest with.
            for (const QColor& c : corners)
                QVERIFY2(qAbs(c.red() - corners[0].red()) <= 3 && qAbs(c.green() - corners[0].green()) <= 3 &&
                             qAbs(c.blue() - corners[0].blue()) <= 3,
                         qPrintable(c.name() + QLatin1Char(' ') + corners[0].name()));
            // Something is drawn in the middle.
            const QColor middle = image.pixelColor(size.width() / 2, size.height() / 2 - 60);
            QVERIFY2(middle != corners[0], qPrintable(middle.name()));
        }
    }

    void splashShowsTheShippedLogo()
    {
        QVERIFY(QDir().mkpath(ImagesDir()));
        QVERIFY(QFile::copy(qEnvironmentVariable("TELVANE_BIN_DIR") + QStringLiteral("/images/logo.jpg"),
                            ImagesDir() + QStringLiteral("logo.jpg")));
        TSplashForm splash(true);
        splash.StopCountdown();
        QVERIFY(splash.PictureLoaded());
        QCOMPARE(splash.size(), QSize(480, 270 + splash.pnlBottom->height()));
        QCOMPARE(splash.lblVersion->text(), QStringLiteral("v3.2.0 "));
        // The server strip keeps the desktop's light colours under the dark logo, where the
        // countdown's caption, black at first, can be seen.
        QVERIFY(splash.palette().color(QPalette::Window).lightness() < 128);
        QCOMPARE(splash.pnlBottom->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Window));
        QCOMPARE(splash.lblServer->palette().color(QPalette::WindowText),
                 QApplication::palette().color(QPalette::WindowText));
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        // The version sits at the top right, over the picture.
        const QRect version =
            splash.lblVersion->geometry().translated(splash.lblVersion->parentWidget()->pos());
        QVERIFY(version.right() > 480 - 40 && version.top() < 30);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
