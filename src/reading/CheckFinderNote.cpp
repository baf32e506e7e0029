#include "reading/CheckFinderNote.h"

#include "checks/CheckFinder.h"

#include <string_view>
#include <vector>

namespace
{

QString Replies(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 reply") : QStringLiteral("%1 replies").arg(count);
}

} // namespace

QString CheckFinderNote(const QList<QByteArray>& replies)
{
    std::vector<std::string_view> bytes;
    bytes.reserve(size_t(replies.size()));
    for (const QByteArray& reply : replies)
        bytes.emplace_back(reply.constData(), size_t(reply.size()));
    const CheckFinding finding = FindChecks(bytes);
    const qsizetype unsearched = qsizetype(finding.tooLong.size());
    const qsizetype searched = replies.size() - unsearched;
    QStringList names;
    for (const CheckEntry* entry : finding.fits)
        names << QString::fromLatin1(entry->name.data(), qsizetype(entry->name.size()));
    QString note = QStringLiteral("Check values that fit %1: %2")
                       .arg(Replies(searched), names.isEmpty() ? QStringLiteral("none")
                                                               : names.join(QStringLiteral(", ")));
    if (searched > 0 && searched < 3)
        note += QStringLiteral(" (an 8-bit value fits by chance one reply in 256)");
    if (unsearched > 0)
        note += QStringLiteral("; %1 over 64 KiB not searched").arg(Replies(unsearched));
    return note;
}
