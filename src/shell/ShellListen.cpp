#include "shell/ShellListen.h"

#include "shell/ShellLink.h"
#include "shell/ShellOptions.h"

#include <QTime>

ShellListen::ShellListen(const ShellOptions& options, ShellLink& link, QObject* parent)
    : QObject(parent), m_options(options), m_link(link)
{
    m_for.setSingleShot(true);
    connect(&m_for, &QTimer::timeout, this, [this] { Stop(); });
    connect(&m_link, &ShellLink::Opened, this, [this] {
        if (m_options.forMs >= 0)
            m_for.start(m_options.forMs);
    });
    connect(&m_link, &ShellLink::ReplyArrived, this, [this](const QByteArray& reply) {
        if (m_finished)
            return;
        PrintOut(QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz  ")) +
                 ReplyLine(reply, m_options.hex));
    });
    connect(&m_link, &ShellLink::PeerClosed, this, [this] { Stop(); });
    connect(&m_link, &ShellLink::Failed, this, [this](const QString& reason) {
        PrintError(reason);
        m_link.WhenIdle([this] { finish(2); });
    });
}

void ShellListen::Start()
{
    m_link.Open();
}

void ShellListen::Stop(int)
{
    m_link.WhenIdle([this] { finish(0); });
}

void ShellListen::finish(int status)
{
    if (m_finished)
        return;
    m_finished = true;
    m_for.stop();
    m_link.Close();
    emit Finished(status);
}
