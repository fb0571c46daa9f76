#pragma once
// A list of peer addresses and subnets, as the receiver's allowed addresses are written:
// entries separated by commas or blanks, each an address ("192.168.10.5", "fe80::1") or a
// subnet ("10.1.0.0/16"). The empty list allows every address. An IPv4 peer seen through
// an IPv6 socket ("::ffff:10.1.2.3") compares as the IPv4 address it is.
//
//   TAddressList allowed;
//   if (!TAddressList::Parse(QStringLiteral("10.1.0.0/16 192.168.10.5"), allowed, &error)) ...
//   allowed.Allows(socket->peerAddress());

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>

class TAddressList {
public:
    // False (out unchanged, error saying which entry) when an entry is neither.
    static bool Parse(const QString& text, TAddressList& out, QString* error = nullptr);

    bool IsEmpty() const { return subnets_.isEmpty(); }
    bool Allows(const QHostAddress& peer) const;

private:
    QList<QPair<QHostAddress, int>> subnets_;
};
