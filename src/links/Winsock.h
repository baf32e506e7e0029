#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

// The socket control, on QTcpSocket, with the members the TCP link uses. Its states and error
// numbers are those the log shows ("Connect State:", "Socket Error:"), so they keep their numbers.
// A connect gives up after 20 s (sckTimedOut).
class Winsock : public QObject
{
    Q_OBJECT
public:
    // The states this socket passes through are closed, resolving, connecting, connected, closing
    // (the peer closed) and error; the others are named for the log's names of every number.
    enum State : int {
        sckClosed = 0,
        sckOpen = 1,
        sckListening = 2,
        sckConnectionPending = 3,
        sckResolvingHost = 4,
        sckHostResolved = 5,
        sckConnecting = 6,
        sckConnected = 7,
        sckClosing = 8,
        sckError = 9
    };
    enum Error : int {
        sckInvalidArgument = 10049, // an invalid host or port
        sckNetworkUnreachable = 10051,
        sckConnectionReset = 10054,
        sckTimedOut = 10060,
        sckConnectionRefused = 10061,
        sckHostNotFound = 11001
    };

    explicit Winsock(QObject* parent = nullptr);
    ~Winsock() override;

    QString RemoteHost() const;
    void SetRemoteHost(const QString& host);
    qint64 RemotePort() const;
    void SetRemotePort(qint64 port);
    qint32 LocalPort() const;
    void SetLocalPort(qint32 port);
    int State() const;

    void Connect();
    // Takes a connection a listener accepted, as if Connect had made it (no ConnectEvent), with
    // TCP keepalive on; false, and the descriptor closed, when the socket cannot take it.
    bool Accept(qintptr descriptor);
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
    // For tests: how long a connect may take before it gives up (20 s).
    void SetConnectTimeout(int ms) { m_connectTimer.setInterval(ms); }
    // The socket's description of its last failure.
    QString ErrorString() const;
    // Whether the peer's close (PeerClosed) was a reset rather than an orderly close. The socket
    // reads alike either way and is gone once it has read either, so a second descriptor of the
    // connection is kept while it is up, to ask the system which it was.
    bool PeerReset() const { return m_peerReset; }

signals:
    void ConnectEvent();
    void DataArrival(qint32 bytesTotal);
    void Error(int number, const QString& description);
    // The peer closed a connection that was up (the state became sckClosing).
    void PeerClosed();

private:
    void connectionUp();
    void fail(int number, const QString& description);
    void peerClosed();
    void closeWatch();

    QTcpSocket m_socket;
    QTimer m_connectTimer;
    QString m_remoteHost;
    qint64 m_remotePort = 0;
    qint32 m_localPort = 0;
    int m_state = sckClosed;
    quint64 m_attempt = 0; // counts Close calls, so a refusal queued before one is dropped
    bool m_peerReset = false;
    int m_watch = -1; // the connection's second descriptor while it is up
};
