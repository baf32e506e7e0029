#include "shell/ShellDecode.h"

#include "shell/ShellOutput.h"
#include "shell/ShellText.h"
#include "terminal/OsdpCap.h"
#include "terminal/ProtocolCatalogue.h"
#include "terminal/SessionDecoder.h"
#include "terminal/TerminalFolders.h"

#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <unistd.h>

namespace
{

// A trace's record is a few hundred bytes: a line longer than this is no record.
constexpr qsizetype kTraceLineAtMost = 1 << 20;
constexpr qsizetype kReadPiece = 64 << 10;

std::string Utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

// The decoded lines, written a batch at a time: a saved session runs to millions of lines.
class DecodedOutput
{
public:
    DecodedOutput(ShellOutput& output, bool hex, bool timed)
        : m_output(output), m_hex(hex), m_timed(timed)
    {
    }
    void Write(std::vector<DecodedPiece>& pieces)
    {
        for (const DecodedPiece& piece : pieces) {
            QString line = piece.Line(m_hex);
            if (m_timed)
                line.prepend(QDateTime::fromMSecsSinceEpoch(piece.piece.firstMs)
                                 .toString(QStringLiteral("hh:mm:ss.zzz  ")));
            // Controls become tokens, as in every line of the shell, but for the tab before
            // the summary.
            const qsizetype tab = line.indexOf(QLatin1Char('\t'));
            m_batch += WithControlsAsTokens(Utf8(tab < 0 ? line : line.first(tab)));
            if (tab >= 0)
                m_batch += '\t' + WithControlsAsTokens(Utf8(line.sliced(tab + 1)));
            m_batch += '\n';
        }
        pieces.clear();
        if (m_batch.size() >= size_t(kReadPiece))
            Flush();
    }
    bool Flush()
    {
        if (!m_batch.empty())
            m_output.Lines(m_batch);
        m_batch.clear();
        return m_output.ok();
    }

private:
    ShellOutput& m_output;
    bool m_hex, m_timed;
    std::string m_batch;
};

} // namespace

int RunDecode(const DecodeRequest& request, ShellOutput& output)
{
    if (!request.file.isEmpty() && request.file != QLatin1String("-")) {
        QFile input(request.file);
        if (!input.open(QIODevice::ReadOnly)) {
            output.Error(
                QStringLiteral("decode: %1 not read: %2").arg(request.file, input.errorString()));
            return 2;
        }
        return RunDecode(
            request, [&](char* into, qint64 atMost) { return input.read(into, atMost); },
            ProtocolFolder(), output);
    }
    // Read as it comes, so that a listen piped in is decoded line by line.
    const auto read = [](char* into, qint64 atMost) {
        ssize_t got;
        do
            got = ::read(STDIN_FILENO, into, size_t(atMost));
        while (got < 0 && errno == EINTR);
        return qint64(got);
    };
    return RunDecode(request, read, ProtocolFolder(), output);
}

int RunDecode(const DecodeRequest& request, const DecodeInput& read, const QString& folder,
              ShellOutput& output)
{
    ProtocolCatalogue catalogue(folder);
    const QString name =
        request.protocol.isEmpty() && request.osdpcap ? QStringLiteral("osdp") : request.protocol;
    const ProtocolEntry protocol = catalogue.Find(name);
    if (!protocol.ok()) {
        output.Error(QStringLiteral("decode: ") + protocol.refusal);
        return 2;
    }
    SessionDecoder decoder(protocol.description);
    DecodedOutput decoded(output, request.hex, request.osdpcap);
    std::vector<DecodedPiece> pieces;
    QStringList problems;
    qint64 problemCount = 0;

    SessionTextReader text([&](SessionStream stream, std::string_view bytes) {
        decoder.Feed(stream, bytes, 0, pieces);
    });
    qint64 number = 0;
    std::int64_t lastMs = 0;
    BoundedLines traceLines(kTraceLineAtMost, [&](QByteArrayView line, bool first, bool last) {
        number += first ? 1 : 0;
        if (!first || (last && line.trimmed().isEmpty()))
            return;
        QString why = QStringLiteral("longer than 1 MiB");
        const std::optional<OsdpCapRecord> record =
            last ? ReadOsdpCapLine(line, &why) : std::nullopt;
        if (!record) {
            if (++problemCount <= SessionTextReader::kProblemsTold)
                problems << QStringLiteral("line %1: %2").arg(number).arg(why);
            return;
        }
        lastMs = std::max(lastMs, record->ms());
        decoder.Feed(record->io,
                     std::string_view(record->data.constData(), size_t(record->data.size())),
                     lastMs, pieces);
    });

    QByteArray piece(kReadPiece, Qt::Uninitialized);
    for (;;) {
        const qint64 got = read(piece.data(), kReadPiece);
        if (got < 0) {
            output.Error(QStringLiteral("decode: input not read: ") + qt_error_string(errno));
            return 2;
        }
        if (got == 0)
            break;
        const QByteArrayView bytes(piece.constData(), got);
        if (request.raw)
            decoder.Feed(SessionStream::Input, std::string_view(bytes.data(), size_t(got)), 0,
                         pieces);
        else if (request.osdpcap)
            traceLines.Feed(bytes);
        else
            text.Feed(bytes);
        decoded.Write(pieces);
        if (!output.ok())
            return output.status();
    }
    text.Finish();
    traceLines.Finish();
    decoder.Flush(pieces);
    decoded.Write(pieces);
    if (!decoded.Flush())
        return output.status();
    if (!request.osdpcap) {
        problems = text.problems();
        problemCount = text.problemCount();
    }
    for (const QString& problem : problems)
        output.Error(QStringLiteral("decode: ") + problem + QStringLiteral(": not read"));
    if (problemCount > problems.size())
        output.Error(
            QStringLiteral("decode: %1 more lines not read").arg(problemCount - problems.size()));
    return problemCount > 0 ? 1 : 0;
}
