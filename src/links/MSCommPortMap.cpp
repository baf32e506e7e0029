#include "links/MSComm.h"

#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>

// Which device a port number 1-16 names: the operator's override, or the n-th serial port present,
// counted ttyS*, ttyUSB*, ttyACM*, each by number, so that numbers stay put as adapters come and go
// within a family.

namespace
{

// Orders device names ttyS*, ttyUSB*, ttyACM*, each by its number.
int familyRank(const QString& name)
{
    if (name.startsWith(QLatin1String("ttyUSB"))) {
        return 1;
    }
    if (name.startsWith(QLatin1String("ttyACM"))) {
        return 2;
    }
    if (name.startsWith(QLatin1String("ttyS"))) {
        return 0;
    }
    return 3;
}

int trailingNumber(const QString& name)
{
    static const QRegularExpression digits(QStringLiteral("(\\d+)$"));
    const QRegularExpressionMatch match = digits.match(name);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

} // namespace

QString MSComm::DescribeOpenFailure(int port, const QString& device,
                                    QSerialPort::SerialPortError error, const QString& reason)
{
    if (device.isEmpty()) {
        return QStringLiteral("Comport %1: no serial device for this port").arg(port);
    }
    QString text = port == 0
                       ? device + QStringLiteral(": ") + reason
                       : QStringLiteral("Comport %1 (%2): %3").arg(port).arg(device).arg(reason);
    if (error == QSerialPort::PermissionError) {
        text += QStringLiteral(" — add your user to the dialout group");
    }
    return text;
}

QString MSComm::DeviceForPort(int port, const QStringList& presentPorts)
{
    const QByteArray override =
        qgetenv(QStringLiteral("ACCESSTERM_COM%1").arg(port).toLatin1().constData());
    if (!override.isEmpty()) {
        return QString::fromLocal8Bit(override);
    }
    if (port < 1 || port > presentPorts.size()) {
        return {};
    }
    return presentPorts.at(port - 1);
}

QStringList MSComm::PresentPorts()
{
    QStringList locations;
    for (const SerialDevice& device : PresentDevices()) {
        locations << device.location;
    }
    return locations;
}

QList<MSComm::SerialDevice> MSComm::PresentDevices()
{
    QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    std::sort(infos.begin(), infos.end(), [](const QSerialPortInfo& x, const QSerialPortInfo& y) {
        const QString a = x.portName();
        const QString b = y.portName();
        const int ra = familyRank(a);
        const int rb = familyRank(b);
        if (ra != rb) {
            return ra < rb;
        }
        const int na = trailingNumber(a);
        const int nb = trailingNumber(b);
        if (na != nb) {
            return na < nb;
        }
        return a < b;
    });
    QList<SerialDevice> devices;
    for (const QSerialPortInfo& info : infos) {
        devices.append(
            {QStringLiteral("/dev/") + info.portName(), info.description(), info.manufacturer()});
    }
    return devices;
}
