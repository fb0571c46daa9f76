#include "shell/FormSplash.h"

#include "shell/AccessLevel.h"
#include "shell/DMClientMain.h"
#include "shell/FormClientMain.h"
#include "shell/base/AppDirs.h"
#include "shell/base/CommaText.h"
#include "shell/base/IniFiles32.h"
#include "shell/base/ProcessLife.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QScopeGuard>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kServerSection = QStringLiteral("Server");
const QString kHostKey = QStringLiteral("host");
constexpr int kBottomHeight = 32;
const QColor kDesignedColor(31, 58, 95);

}  // namespace

TSplashForm::TSplashForm(bool connectMode, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), connectMode_(connectMode)
{
    setObjectName(QStringLiteral("SplashForm"));
    setWindowTitle(tr("Telvane Control"));
    setAutoFillBackground(true);
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, kDesignedColor);
    setPalette(windowPalette);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    imgLogo = new QLabel(this);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(imgLogo, 1);

    lblVersion = new QLabel(imgLogo);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    QPalette versionPalette = lblVersion->palette();
    versionPalette.setColor(QPalette::WindowText, Qt::white);
    lblVersion->setPalette(versionPalette);
    auto* logoLayout = new QVBoxLayout(imgLogo);
    logoLayout->setContentsMargins(6, 4, 6, 4);
    logoLayout->addWidget(lblVersion, 0, Qt::AlignTop | Qt::AlignRight);

    pnlBottom = new QWidget(this);
    pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
    pnlBottom->setAutoFillBackground(true);
    // The strip keeps the desktop's colours whatever the logo's: the countdown reddens the
    // Connect caption from black, which only shows on a light background. Each role is set
    // on its own, because a palette equal to the application's would count as not set and
    // the window's colour would show through.
    QPalette bottomPalette = pnlBottom->palette();
    for (const QPalette::ColorRole role : {QPalette::Window, QPalette::WindowText, QPalette::ButtonText})
        bottomPalette.setColor(role, QApplication::palette().color(role));
    pnlBottom->setPalette(bottomPalette);
    pnlBottom->setFixedHeight(kBottomHeight);
    auto* bottom = new QHBoxLayout(pnlBottom);
    bottom->setContentsMargins(6, 3, 3, 3);
    lblServer = new QLabel(tr("Server:"), pnlBottom);
    lblServer->setObjectName(QStringLiteral("lblServer"));
    cmbServer = new QComboBox(pnlBottom);
    cmbServer->setObjectName(QStringLiteral("cmbServer"));
    cmbServer->setEditable(true);
    cmbServer->setInsertPolicy(QComboBox::NoInsert);
    cmbServer->setToolTip(tr("Enter the host name or IP address of Telvane Server."));
    cmbServer->setStatusTip(cmbServer->toolTip());
    lblServer->setBuddy(cmbServer);

    actConnect = new QAction(tr("Connect"), this);
    actConnect->setObjectName(QStringLiteral("actConnect"));
    actConnect->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    connect(actConnect, &QAction::triggered, this, &TSplashForm::actConnectExecute);
    addAction(actConnect);
    actClose = new QAction(tr("Close"), this);
    actClose->setObjectName(QStringLiteral("actClose"));
    actClose->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(actClose, &QAction::triggered, this, &TSplashForm::actCloseExecute);
    addAction(actClose);

    btnConnect = new QToolButton(pnlBottom);
    btnConnect->setObjectName(QStringLiteral("btnConnect"));
    btnConnect->setAutoRaise(true);
    btnConnect->setToolButtonStyle(Qt::ToolButtonTextOnly);
    btnConnect->setDefaultAction(actConnect);
    bottom->addWidget(lblServer);
    bottom->addWidget(cmbServer, 1);
    bottom->addWidget(btnConnect);
    layout->addWidget(pnlBottom);

    tmrCountdown = new QTimer(this);
    tmrCountdown->setObjectName(QStringLiteral("tmrCountdown"));
    tmrCountdown->setInterval(CountdownIntervalMs);
    connect(tmrCountdown, &QTimer::timeout, this, &TSplashForm::tmrCountdownTimer);

    pnlBottom->setVisible(connectMode_);
    SetCaptionColor(Qt::black);
    for (QObject* watched : {static_cast<QObject*>(imgLogo), static_cast<QObject*>(cmbServer),
                             static_cast<QObject*>(cmbServer->lineEdit()), static_cast<QObject*>(btnConnect)})
        watched->installEventFilter(this);

    // Creation proper.
    lblVersion->setText(QStringLiteral("v%1 ").arg(TClientMainDM::VersionText()));
    QSize size(DesignedWidth, DesignedHeight);
    pictureLoaded_ = TClientMainForm::LoadPicture(ImagesDir() + QStringLiteral("logo"), logo_);
    if (pictureLoaded_) {
        imgLogo->setPixmap(QPixmap::fromImage(logo_));
        size = QSize(logo_.width(), logo_.height() + (connectMode_ ? kBottomHeight : 0));
        windowPalette.setColor(QPalette::Window, logo_.pixelColor(logo_.width() - 1, logo_.height() - 1));
        setPalette(windowPalette);
    }
    setFixedSize(size);
    if (connectMode_) {
        LoadServerList();
        tmrCountdown->start();
    }
}

TSplashForm::~TSplashForm() = default;

QStringList TSplashForm::UpdatedHistory(QStringList items, const QString& host)
{
    items.removeIf([&host](const QString& item) { return item.compare(host, Qt::CaseInsensitive) == 0; });
    items.prepend(host);
    while (items.size() > MaxHistory)
        items.removeLast();
    return items;
}

void TSplashForm::CreateMainWindowAndConnect()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    TClientMainForm& form = CreateClientMainForm();
    TAccess::SetMainWindow(&form);
    form.SetConnection(&CreateClientMainDM(&form));
    TAccess::SetLevel(TAccess::Locked);
}

bool TSplashForm::CountingDown() const
{
    return tmrCountdown->isActive();
}

void TSplashForm::StopCountdown()
{
    tmrCountdown->stop();
    SetCaptionColor(Qt::black);
}

bool TSplashForm::eventFilter(QObject* watched, QEvent* event)
{
    const bool serverBox = watched == cmbServer || watched == cmbServer->lineEdit();
    if (event->type() == QEvent::KeyPress && serverBox)
        StopCountdown();
    else if (event->type() == QEvent::Enter && (serverBox || watched == btnConnect))
        StopCountdown();
    else if (event->type() == QEvent::MouseButtonPress && watched == imgLogo && !connectMode_)
        actClose->trigger();
    return QDialog::eventFilter(watched, event);
}

void TSplashForm::tmrCountdownTimer()
{
    QColor color = captionColor_;
    const int red = color.red() + 10;
    if (red < 255) {
        color.setRed(red);
        SetCaptionColor(color);
    } else {
        StopCountdown();
        actConnect->trigger();
    }
}

void TSplashForm::SetCaptionColor(const QColor& color)
{
    captionColor_ = color;
    QPalette p = btnConnect->palette();
    p.setColor(QPalette::ButtonText, color);
    p.setColor(QPalette::WindowText, color);
    btnConnect->setPalette(p);
}

void TSplashForm::actConnectExecute()
{
    if (!connectMode_) {
        accept();
        return;
    }
    tmrCountdown->stop();
    actConnect->setEnabled(false);
    cmbServer->setEnabled(false);
    ServerHost() = cmbServer->currentText().trimmed().toUpper();
    // Nothing to connect to: only Close remains.
    if (ServerHost().isEmpty())
        return;
    QStringList items;
    for (int i = 0; i < cmbServer->count(); ++i)
        items.append(cmbServer->itemText(i));
    items = UpdatedHistory(items, ServerHost());
    cmbServer->clear();
    cmbServer->addItems(items);
    cmbServer->setCurrentIndex(0);
    SaveServerList();
    CreateMainWindowAndConnect();
    accept();
}

void TSplashForm::actCloseExecute()
{
    // Closing the About box leaves the connection's server name alone.
    if (connectMode_)
        ServerHost().clear();
    reject();
}

void TSplashForm::LoadServerList()
{
    QStringList items = SplitCommaText(SettingsFile().ReadString(kServerSection, kHostKey, QString()));
    items.removeAll(QString());
    if (items.isEmpty())
        items.append(QStringLiteral("localhost"));
    cmbServer->addItems(items);
    cmbServer->setCurrentIndex(0);
}

void TSplashForm::SaveServerList()
{
    QStringList items;
    for (int i = 0; i < cmbServer->count(); ++i)
        items.append(cmbServer->itemText(i));
    SettingsFile().WriteString(kServerSection, kHostKey, JoinCommaText(items));
}
