#include "repeat/RunLink.h"

// The link's signals are generated beside this file.

QString RunLink::ClosedReason(bool reset)
{
    return reset ? QStringLiteral("Connection reset by the peer")
                 : QStringLiteral("Connection closed by the peer");
}
