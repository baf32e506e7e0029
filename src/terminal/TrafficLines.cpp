#include "terminal/TrafficLines.h"

#include "notation/EncodeCommandText.h"
#include "notation/NumericValue.h"
#include "notation/RenderReceivedData.h"

#include <algorithm>
#include <string_view>

QString TrimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

std::optional<std::int32_t> RoundedValue(const QString& text)
{
    return RoundToInt32(NumericValue(text.toStdString()));
}

QString InputLine(QByteArrayView reply, const QString& marker,
                  const std::function<void()>& betweenSlices)
{
    const std::string_view bytes(reply.data(), size_t(reply.size()));
    const qsizetype length = marker.size() + qsizetype(RenderedLength(bytes));
    QString line(length + 3, Qt::Uninitialized);
    std::copy(marker.cbegin(), marker.cend(), line.begin());
    char16_t* out = reinterpret_cast<char16_t*>(line.data()) + marker.size();
    // Each slice's filler past its end is written over by the next.
    for (size_t at = 0; at < bytes.size(); at += size_t(kRenderSliceBytes)) {
        if (at > 0 && betweenSlices)
            betweenSlices();
        out += RenderReceivedDataInto(bytes.substr(at, size_t(kRenderSliceBytes)), out);
    }
    line.truncate(length);
    return line;
}

CommandBytes EncodeForSending(const QString& text)
{
    const EncodedCommand command = EncodeCommandText(text.toStdU32String());
    if (!command.ok())
        return {{},
                QStringLiteral("Nothing sent: ") +
                    QString::fromStdString(command.error->Describe())};
    if (command.bytes.empty())
        return {{}, QStringLiteral("Nothing sent: the command is empty")};
    return {QByteArray(reinterpret_cast<const char*>(command.bytes.data()),
                       qsizetype(command.bytes.size())),
            {}};
}
