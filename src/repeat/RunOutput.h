#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

// Where a check file's run writes what it does: a shell mode's standard output and error, or the
// window's log.
class RunOutput : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // One line of what happened; false once nothing more can be written.
    virtual bool Line(const QString& line) = 0;
    // One line about a failure of the run itself.
    virtual void Error(const QString& line) = 0;
    // A reply, after prefix, in the notation (or as hex pairs).
    virtual bool Reply(const QString& prefix, QByteArrayView reply, bool hex) = 0;
    // A command about to go out, as its "[Output]" line shows it, and its bytes.
    virtual bool Command(const QString& shown, const QByteArray& bytes) = 0;

signals:
    // Output stopped: the run is to end with status.
    void Broken(int status);
};
