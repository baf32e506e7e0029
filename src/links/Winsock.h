#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

// The socket control, on QTcpSocket, with the members the TCP link uses.
// State numbers: closed 0, resolving 4, connecting 6, connected 7, closing 8 (the peer closed),
// error 9. Error numbers: refused 10061, timed out 10060, host not found 11001, network unreachable
// 10051, reset by peer 10054, invalid host or port 10049. A connect gives up after 20 s (10060).
class Winsock : public QObject
{
    Q_OBJECT
public:
    explicit Winsock(QObject* parent = nullptr);

    QString RemoteHost() const;
    void SetRemoteHost(const QString& host);
    qint64 RemotePort() const;
    void SetRemotePort(qint64 port);
    qint32 LocalPort() const;
    void SetLocalPort(qint32 port);
    int State() const;

    void Connect();
    void Close();
    // false when the bytes could not be handed to the socket.
    bool SendData(const QByteArray& bytes);
    // Appends at most maxLen of the bytes received to data; nothing once the socket is closed.
    void GetData(QByteArray& data, qint64 maxLen);
    // Holds at most bytes received and not yet taken (0: no limit); the peer is held back by
    // the connection's flow control meanwhile.
    void SetReadBufferSize(qint64 bytes) { m_socket.setReadBufferSize(bytes); }
    // The bytes received and not yet taken by GetData, at most INT32_MAX.
    qint32 BytesReceived() const;
    // The socket's description of its last failure.
    QString ErrorString() const;

signals:
    void ConnectEvent();
    void DataArrival(qint32 bytesTotal);
    void Error(int number, const QString& description);
    // The peer closed a connection that was up (the state became 8).
    void PeerClosed();

private:
    void fail(int number, const QString& description);
    void peerClosed();

    QTcpSocket m_socket;
    QTimer m_connectTimer;
    QString m_remoteHost;
    qint64 m_remotePort = 0;
    qint32 m_localPort = 0;
    int m_state = 0;
    quint64 m_attempt = 0; // counts Close calls, so a refusal queued before one is dropped
};
