#pragma once

#include <QByteArray>
#include <QString>

// A real pseudo-terminal pair for serial tests: the link opens slavePath() as its device (through
// the ACCESSTERM_COM<n> override), the test reads and writes the master end.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    // Writes all bytes to the master end (what the far device sends).
    bool write(const QByteArray& bytes);
    // Reads what is waiting on the master end now, without blocking.
    QByteArray readAvailable();
    // Reads until count bytes have come or timeoutMs has passed, pumping Qt events meanwhile.
    QByteArray readExactly(int count, int timeoutMs = 5000);
    // Closes the master end: the far end of the line goes away.
    void closeMaster();

private:
    int m_master = -1;
    QString m_slavePath;
};
