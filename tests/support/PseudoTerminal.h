#pragma once
// A pseudo-terminal pair standing for an exchange on a serial line: the server opens the
// slave's path as its serial port; the test writes and reads the master.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class TPseudoTerminal {
public:
    TPseudoTerminal()
    {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
            return;
        termios raw{};
        ::tcgetattr(slave_, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slave_, TCSANOW, &raw);
        path_ = QString::fromLocal8Bit(name);
    }
    ~TPseudoTerminal()
    {
        if (master_ >= 0)
            ::close(master_);
        if (slave_ >= 0)
            ::close(slave_);
    }
    TPseudoTerminal(const TPseudoTerminal&) = delete;
    TPseudoTerminal& operator=(const TPseudoTerminal&) = delete;

    bool IsOpen() const { return !path_.isEmpty(); }
    // The path the server opens (/dev/pts/N).
    const QString& SlavePath() const { return path_; }

    bool Write(const QByteArray& bytes)
    {
        return ::write(master_, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // Reads what the server writes until it contains the text.
    bool WaitForReceived(const QByteArray& text, int timeoutMs = 30000)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (!Received.contains(text) && !deadline.hasExpired()) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, int(qBound(qint64(1), deadline.remainingTime(), qint64(100)))) > 0 && (p.revents & POLLIN)) {
                char buffer[4096];
                const ssize_t n = ::read(master_, buffer, sizeof buffer);
                if (n > 0)
                    Received.append(buffer, n);
            }
        }
        return Received.contains(text);
    }

    QByteArray Received;

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};
