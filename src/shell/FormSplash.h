#pragma once
// The start-up window: shows the logo and the version, offers the server history and
// connects to the first server after a short countdown unless the user intervenes. The
// same window without the server strip is the About box.

#include <QColor>
#include <QDialog>
#include <QImage>
#include <QStringList>

class QAction;
class QComboBox;
class QLabel;
class QTimer;
class QToolButton;

class TSplashForm : public QDialog {
    Q_OBJECT

public:
    // connectMode: the server choice at start-up; otherwise the About box.
    explicit TSplashForm(bool connectMode, QWidget* parent = nullptr);
    ~TSplashForm() override;

    static constexpr int MaxHistory = 5;
    static constexpr int CountdownIntervalMs = 100;
    static constexpr int DesignedWidth = 320;
    static constexpr int DesignedHeight = 240;

    // The history after connecting to host: the entry equal to it (ignoring case) moves
    // to the top, at most MaxHistory entries stay.
    static QStringList UpdatedHistory(QStringList items, const QString& host);

    // Creates the main window and the connection module (which connects to ServerHost())
    // and locks the client: the heart of Connect. The cursor shows the hourglass meanwhile.
    static void CreateMainWindowAndConnect();

    bool ConnectMode() const { return connectMode_; }
    bool CountingDown() const;
    QColor CaptionColor() const { return captionColor_; }
    bool PictureLoaded() const { return pictureLoaded_; }
    void StopCountdown();

    QLabel* imgLogo = nullptr;
    QLabel* lblVersion = nullptr;
    QWidget* pnlBottom = nullptr;
    QLabel* lblServer = nullptr;
    QComboBox* cmbServer = nullptr;
    QToolButton* btnConnect = nullptr;
    QAction* actConnect = nullptr;
    QAction* actClose = nullptr;
    QTimer* tmrCountdown = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void actConnectExecute();
    void actCloseExecute();
    void tmrCountdownTimer();
    void SetCaptionColor(const QColor& color);
    void LoadServerList();
    void SaveServerList();

    bool connectMode_;
    bool pictureLoaded_ = false;
    QColor captionColor_{Qt::black};
    QImage logo_;
};
