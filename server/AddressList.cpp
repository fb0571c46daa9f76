#include "server/AddressList.h"

#include "core/Errors.h"

#include <QRegularExpression>

namespace {

// The IPv4 address behind an IPv4-mapped IPv6 one; any other address as it is.
QHostAddress Plain(const QHostAddress& address)
{
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    return mapped ? QHostAddress(v4) : address;
}

}  // namespace

bool TAddressList::Parse(const QString& text, TAddressList& out, QString* error)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    TAddressList list;
    for (const QString& entry : text.split(separators, Qt::SkipEmptyParts)) {
        QPair<QHostAddress, int> subnet;
        if (entry.contains(QLatin1Char('/'))) {
            subnet = QHostAddress::parseSubnet(entry);
        } else if (QHostAddress address; address.setAddress(entry)) {
            subnet = {address, address.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128};
        }
        if (subnet.first.isNull()) {
            if (error)
                *error = QStringLiteral("\"%1\" is neither an IP address nor a subnet.").arg(ShortQuote(entry));
            return false;
        }
        const QHostAddress plain = Plain(subnet.first);
        if (plain.protocol() != subnet.first.protocol())
            subnet.second = qMax(0, subnet.second - 96);  // ::ffff:10.0.0.0/104 is 10.0.0.0/8
        list.subnets_.append({plain, subnet.second});
    }
    out = list;
    return true;
}

bool TAddressList::Allows(const QHostAddress& peer) const
{
    if (subnets_.isEmpty())
        return true;
    const QHostAddress plain = Plain(peer);
    for (const auto& [address, prefix] : subnets_)
        if (plain.isInSubnet(address, prefix))
            return true;
    return false;
}
