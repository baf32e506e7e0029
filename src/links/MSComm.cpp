#include "links/MSComm.h"

#include "links/SerialPortLock.h"

#include <QFile>
#include <QMetaObject>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace
{

struct LineSettings {
    qint32 baud = 0;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

bool parseSettings(const QString& text, LineSettings& out)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4) {
        return false;
    }
    bool ok = false;
    out.baud = parts[0].trimmed().toInt(&ok);
    if (!ok || out.baud <= 0) {
        return false;
    }
    const QString parity = parts[1].trimmed().toLower();
    if (parity == QLatin1String("n")) {
        out.parity = QSerialPort::NoParity;
    } else if (parity == QLatin1String("e")) {
        out.parity = QSerialPort::EvenParity;
    } else if (parity == QLatin1String("o")) {
        out.parity = QSerialPort::OddParity;
    } else if (parity == QLatin1String("m")) {
        out.parity = QSerialPort::MarkParity;
    } else if (parity == QLatin1String("s")) {
        out.parity = QSerialPort::SpaceParity;
    } else {
        return false;
    }
    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8) {
        return false;
    }
    out.dataBits = static_cast<QSerialPort::DataBits>(bits);
    const QString stop = parts[3].trimmed();
    if (stop == QLatin1String("1")) {
        out.stopBits = QSerialPort::OneStop;
    } else if (stop == QLatin1String("1.5")) {
        out.stopBits = QSerialPort::OneAndHalfStop;
    } else if (stop == QLatin1String("2")) {
        out.stopBits = QSerialPort::TwoStop;
    } else {
        return false;
    }
    return true;
}

// Each part is tried, so that setting a frame back after a refusal sets all of it back.
bool ApplyFrame(QSerialPort& port, const LineSettings& line)
{
    const bool parity = port.setParity(line.parity);
    const bool bits = port.setDataBits(line.dataBits);
    const bool stop = port.setStopBits(line.stopBits);
    return parity && bits && stop;
}

} // namespace

MSComm::MSComm(QObject* parent) : QObject(parent), m_port(this)
{
    // Whatever the device holds is kept: the buffer is unbounded.
    m_port.setReadBufferSize(0);
    connect(&m_port, &QSerialPort::readyRead, this, [this] {
        m_commEvent = comEvReceive;
        emit OnComm();
    });
    connect(&m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        switch (error) {
        case QSerialPort::NoError:
            return;
        case QSerialPort::ReadError:
        case QSerialPort::ResourceError:
            // A vanished device keeps raising errors; closing once, later, stops the storm.
            if (m_closePending == false && m_port.isOpen()) {
                m_closePending = true;
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        m_closePending = false;
                        if (m_port.isOpen()) {
                            // What was read from the line before it went is still the
                            // operator's: Input hands it on after the close.
                            m_unread += m_port.readAll();
                            m_lostReason = m_port.errorString();
                            m_port.close();
                            emit PortLost(lostDescription());
                        }
                    },
                    Qt::QueuedConnection);
            }
            return;
        default:
            return;
        }
    });
}

int MSComm::CommPort() const
{
    return m_commPort;
}

void MSComm::SetCommPort(int port)
{
    m_commPort = port;
}

QString MSComm::Settings() const
{
    return m_settings;
}

LinkResult MSComm::SetSettings(const QString& settings)
{
    LineSettings line;
    if (parseSettings(settings, line) == false) {
        return LinkResult::Failure(QStringLiteral("invalid settings \"%1\"").arg(settings));
    }
    if (m_port.isOpen()) {
        if (!m_port.setBaudRate(line.baud)) {
            return LinkResult::Failure(QStringLiteral("Comport %1 (%2): baud rate %3 refused — %4")
                                           .arg(m_commPort)
                                           .arg(m_port.portName())
                                           .arg(line.baud)
                                           .arg(m_port.errorString()));
        }
        if (!ApplyFrame(m_port, line)) {
            // A frame the device refuses leaves the line as it was.
            const QString reason = m_port.errorString();
            LineSettings before;
            parseSettings(m_settings, before);
            m_port.setBaudRate(before.baud);
            ApplyFrame(m_port, before);
            m_port.clearError();
            return LinkResult::Failure(
                QStringLiteral("Frame %1%2%3 refused by %4: %5")
                    .arg(int(line.dataBits))
                    .arg(settings.section(QLatin1Char(','), 1, 1).trimmed().toUpper())
                    .arg(settings.section(QLatin1Char(','), 3, 3).trimmed())
                    .arg(m_device, reason));
        }
    }
    m_settings = settings;
    return LinkResult::Success();
}

bool MSComm::PortOpen() const
{
    return m_port.isOpen();
}

LinkResult MSComm::SetPortOpen(bool open)
{
    // Closed or opened on purpose: leftovers of a lost line go with it.
    m_unread.clear();
    m_lostReason.clear();
    if (open == false) {
        if (m_port.isOpen()) {
            m_port.close();
        }
        return LinkResult::Success();
    }
    if (m_port.isOpen()) {
        return LinkResult::Success();
    }
    return OpenDevice(DeviceForPort(m_commPort, PresentPorts()));
}

LinkResult MSComm::OpenDevice(const QString& device)
{
    m_unread.clear();
    m_lostReason.clear();
    if (device.isEmpty()) {
        return LinkResult::Failure(
            DescribeOpenFailure(m_commPort, device, QSerialPort::DeviceNotFoundError, {}));
    }
    // Who holds the device is read first: the port's own lock would take over a lock whose
    // holder runs but keeps no lock of that kind on the file, as programs other than this one do.
    const QString holder = QFile::exists(device) ? SerialPortLock(device).Refusal() : QString();
    if (!holder.isEmpty()) {
        return LinkResult::Failure(
            DescribeOpenFailure(m_commPort, device, QSerialPort::ResourceError, holder));
    }
    LineSettings line;
    parseSettings(m_settings, line);
    m_port.setPortName(device);
    m_device = device;
    m_port.setBaudRate(line.baud);
    m_port.setParity(line.parity);
    m_port.setDataBits(line.dataBits);
    m_port.setStopBits(line.stopBits);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        QSerialPort::SerialPortError error = m_port.error();
        QString reason = m_port.errorString();
        // The device lock is taken before the device is looked at, so a missing device can
        // also come back as a locking failure.
        if (error == QSerialPort::DeviceNotFoundError || !QFile::exists(device)) {
            error = QSerialPort::DeviceNotFoundError;
            reason = QStringLiteral("No such device");
        } else if (error == QSerialPort::PermissionError &&
                   ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0) {
            // The user may use the device, so the refusal is another open holding it.
            error = QSerialPort::ResourceError;
            reason = QStringLiteral("Device already in use by another open");
        }
        m_port.clearError();
        return LinkResult::Failure(DescribeOpenFailure(m_commPort, device, error, reason));
    }
    m_commEvent = 0;
    return LinkResult::Success();
}

LinkResult MSComm::Output(const QByteArray& bytes)
{
    if (!m_port.isOpen()) {
        if (!m_lostReason.isEmpty()) {
            return LinkResult::Failure(QStringLiteral("port is not open: ") + lostDescription());
        }
        return LinkResult::Failure(QStringLiteral("port is not open"));
    }
    if (m_port.write(bytes) != bytes.size()) {
        return LinkResult::Failure(QStringLiteral("Comport %1 (%2): %3")
                                       .arg(m_commPort)
                                       .arg(m_port.portName())
                                       .arg(m_port.errorString()));
    }
    return LinkResult::Success();
}

QByteArray MSComm::Input()
{
    QByteArray bytes;
    bytes.swap(m_unread);
    if (m_port.isOpen()) {
        bytes += m_port.readAll();
    }
    return bytes;
}

QString MSComm::lostDescription() const
{
    // Port 0 is a device given by its path, named alone.
    const QString port =
        m_commPort == 0 ? m_port.portName()
                        : QStringLiteral("Comport %1 (%2)").arg(m_commPort).arg(m_port.portName());
    return port + QStringLiteral(" was lost — ") + m_lostReason;
}

int MSComm::InBufferCount() const
{
    const qint64 waiting = m_unread.size() + (m_port.isOpen() ? m_port.bytesAvailable() : 0);
    return static_cast<int>(qMin<qint64>(waiting, INT32_MAX));
}

int MSComm::OutBufferCount() const
{
    if (!m_port.isOpen())
        return 0;
    int queued = 0;
    if (::ioctl(int(m_port.handle()), TIOCOUTQ, &queued) != 0)
        queued = 0;
    return static_cast<int>(qMin<qint64>(m_port.bytesToWrite() + queued, INT32_MAX));
}

int MSComm::CommEvent() const
{
    return m_commEvent;
}
