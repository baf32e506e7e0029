#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// What the check value finder says of replies, for the top of the Show Bytes window: "Check
// values that fit 4 replies: bcc, xor" or "… none". Fewer than three replies prove little, and
// the note says so; a reply over 64 KiB is not searched, and the note says that too.
QString CheckFinderNote(const QList<QByteArray>& replies);
