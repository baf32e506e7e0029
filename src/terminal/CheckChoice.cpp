#include "terminal/CheckChoice.h"

#include "checks/CheckPlacement.h"
#include "checks/CheckVerdict.h"
#include "terminal/ReplyCheck.h"
#include "terminal/TrafficLines.h"

#include <string_view>

void CheckChoice::choose(const CheckEntry* check)
{
    if (check == m_check)
        return;
    m_check = check;
    emit changed(check);
}

CommandBytes CheckChoice::encode(const QString& text, QString& shown) const
{
    shown = text;
    CommandBytes command = EncodeForSending(text);
    if (!m_check || !command.ok())
        return command;
    const CheckedCommand checked = EncodeCheckedCommand(*m_check, text.toStdU32String());
    shown = QString::fromStdU32String(checked.display);
    const std::vector<std::uint8_t>& bytes = checked.encoded.bytes;
    command.bytes =
        QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    return command;
}

ReplyCheck CheckChoice::verify(QByteArrayView reply) const
{
    if (!m_check)
        return {};
    const CheckVerdict verdict =
        VerifyReply(*m_check, std::string_view(reply.data(), size_t(reply.size())));
    if (verdict.outcome == CheckVerdict::Outcome::NotChecked)
        return {};
    return {QString::fromLatin1(verdict.Describe()), !verdict.ok()};
}
