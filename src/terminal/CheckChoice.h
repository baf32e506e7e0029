#pragma once

#include <QByteArrayView>
#include <QObject>
#include <QString>

struct CheckEntry;
struct CommandBytes;
struct ReplyCheck;

// The check value the operator has chosen for the commands sent and the replies that come; none
// at start. With none, commands and replies pass as they are.
class CheckChoice : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    const CheckEntry* check() const { return m_check; }
    void choose(const CheckEntry* check);

    // A trimmed command text's bytes with the value in its place, and in shown the text as the
    // log shows it: the value's own text inserted where its bytes go. A text that cannot be sent
    // is refused as without a value, and shown as it stands.
    CommandBytes encode(const QString& text, QString& shown) const;
    // The verdict on a reply; none when no value is chosen or the reply holds none to check.
    ReplyCheck verify(QByteArrayView reply) const;

signals:
    void changed(const CheckEntry* check);

private:
    const CheckEntry* m_check = nullptr;
};
