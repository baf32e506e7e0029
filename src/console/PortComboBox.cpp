#include "console/PortComboBox.h"

#include <QEvent>

PortComboBox::PortComboBox(QWidget* parent) : QComboBox(parent)
{
    // Read only when asked for, never at start-up (the window fills the list and clears the
    // choice before it is shown): listing the system's ports takes time.
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (isVisible())
            updateToolTips();
    });
}

void PortComboBox::setDeviceSource(DeviceSource source)
{
    m_devices = std::move(source);
}

void PortComboBox::showPopup()
{
    updateToolTips();
    QComboBox::showPopup();
}

bool PortComboBox::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip)
        updateToolTips();
    return QComboBox::event(event);
}

void PortComboBox::updateToolTips()
{
    const QList<MSComm::SerialDevice> present = m_devices();
    // Entry i is port i + 1, as the controller counts them.
    for (int i = 0; i < count(); ++i)
        setItemData(i, DescribePort(i + 1, present), Qt::ToolTipRole);
    setToolTip(currentIndex() < 0 ? QString() : DescribePort(currentIndex() + 1, present));
}

QString PortComboBox::DescribePort(int port, const QList<MSComm::SerialDevice>& present)
{
    QStringList locations;
    for (const MSComm::SerialDevice& device : present)
        locations << device.location;
    const QString location = MSComm::DeviceForPort(port, locations);
    if (location.isEmpty())
        return tr("No serial device answers to port %1").arg(port);
    QString text = location;
    for (const MSComm::SerialDevice& device : present) {
        if (device.location != location)
            continue;
        if (!device.description.isEmpty())
            text += QStringLiteral(" — ") + device.description;
        if (!device.manufacturer.isEmpty())
            text += QStringLiteral(" (") + device.manufacturer + QLatin1Char(')');
    }
    return text;
}
