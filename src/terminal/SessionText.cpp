#include "terminal/SessionText.h"

#include "notation/EncodeCommandText.h"

#include <cstring>

namespace
{

// A token the renderer writes is four characters: an open "<" further back than this from the
// end of a part is read as its line's end would read it, so that nothing waits without bound.
constexpr qsizetype kTokenAtMost = 4096;

// Where the bytes of a traffic line start, after its marker and any time before it; -1 when the
// line is not one.
qsizetype TextStart(QByteArrayView line, SessionStream& stream)
{
    qsizetype at = 0;
    while (at < line.size() && at < 32 && line[at] != '\0' &&
           std::strchr("0123456789-:. ", line[at]))
        ++at;
    const QByteArrayView rest = line.sliced(at);
    for (auto [marker, way] : {std::pair{"[Output]------", SessionStream::Output},
                               std::pair{"[Input]------", SessionStream::Input},
                               std::pair{"[Input]+-----", SessionStream::Input}}) {
        if (rest.startsWith(marker)) {
            stream = way;
            return at + qsizetype(std::strlen(marker));
        }
    }
    return -1;
}

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// Whether a reply's text is the shell's --hex form, "02 4F 4B": a rendered reply has no blank of
// its own, so pairs and blanks between them tell it, but for a reply of one byte, which is told
// only by the lines before it.
bool IsHexReply(QByteArrayView text, bool hexBefore)
{
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (at % 3 == 2 ? text[at] != ' ' : !IsHexDigit(text[at]))
            return false;
    }
    return text.size() > 3 || (text.size() == 2 && hexBefore);
}

} // namespace

SessionTextReader::SessionTextReader(Sink sink)
    : m_sink(std::move(sink)), m_lines(kPartAtMost, [this](QByteArrayView text, bool first,
                                                           bool last) { Part(text, first, last); })
{
}

void SessionTextReader::Finish()
{
    m_lines.Finish();
}

void SessionTextReader::Part(QByteArrayView text, bool first, bool last)
{
    const bool endsInCr = last && text.endsWith('\r');
    if (endsInCr)
        text.chop(1);
    if (first) {
        ++m_number;
        m_utf8.resetState();
        m_nibble = -1;
        SessionStream stream = SessionStream::Input;
        const qsizetype start = TextStart(text, stream);
        // A capture file is told by its first line: CR LF, no marker, and no blank, which a
        // rendered reply never holds and the log's own lines (and times) do.
        if (m_mode == Mode::Unknown)
            m_mode =
                start < 0 && (endsInCr || !last) && !text.contains(' ') ? Mode::Capture : Mode::Log;
        m_taking = m_mode == Mode::Capture || start >= 0;
        m_stream = m_mode == Mode::Capture ? SessionStream::Input : stream;
        if (m_mode == Mode::Log && m_taking)
            text = text.sliced(start);
        const qsizetype tab = text.indexOf('\t');
        m_hex = m_taking && m_stream == SessionStream::Input &&
                IsHexReply(tab < 0 ? text : text.first(tab), m_hexBefore);
        m_hexBefore = m_hexBefore || m_hex;
    }
    if (!m_taking)
        return;
    if (m_mode == Mode::Capture) {
        m_text += QString::fromLatin1(text);
    } else {
        // What follows a tab is the summary the line was saved with.
        const qsizetype tab = text.indexOf('\t');
        if (tab >= 0) {
            text.truncate(tab);
            last = true;
        }
        if (m_hex)
            return ReadHex(text, last);
        m_text += m_utf8.decode(text);
    }
    Read(last);
    m_taking = m_taking && !last;
}

void SessionTextReader::Read(bool last)
{
    qsizetype cut = m_text.size();
    if (!last) {
        // Everything up to the last ">" is whole; a "<" after it waits for the next part.
        const qsizetype open =
            m_text.indexOf(QLatin1Char('<'), m_text.lastIndexOf(QLatin1Char('>')) + 1);
        if (open >= 0 && m_text.size() - open <= kTokenAtMost)
            cut = open;
    }
    const std::u32string text = QStringView(m_text).first(cut).toString().toStdU32String();
    m_text.remove(0, cut);
    EncodedCommand encoded = EncodeCommandText(text);
    ByteText bytes;
    if (!encoded.ok() && encoded.error->kind == EncodeError::Kind::UnclosedToken) {
        // A "<" that nothing closes was the reply's own character, as is all after it.
        const std::size_t open = encoded.error->position - 1;
        encoded = EncodeCommandText(std::u32string_view(text).substr(0, open));
        for (std::size_t at = open; encoded.ok() && at < text.size(); ++at) {
            if (text[at] > 0xFF)
                encoded.error =
                    EncodeError{EncodeError::Kind::NoByteForCharacter, at + 1, text[at]};
            else
                encoded.bytes.push_back(std::uint8_t(text[at]));
        }
    }
    if (!encoded.ok()) {
        Problem(QString::fromStdString(encoded.error->Describe()));
        m_taking = false;
        m_text.clear();
        return;
    }
    bytes.assign(encoded.bytes.begin(), encoded.bytes.end());
    if (!bytes.empty())
        m_sink(m_stream, bytes);
}

void SessionTextReader::ReadHex(QByteArrayView text, bool last)
{
    m_taking = !last;
    ByteText bytes;
    for (char c : text) {
        if (c == ' ')
            continue;
        if (!IsHexDigit(c)) {
            m_taking = false;
            return Problem(QStringLiteral("\"%1\" is not a hex digit").arg(QLatin1Char(c)));
        }
        const int digit = c <= '9' ? c - '0' : c - 'A' + 10;
        if (m_nibble < 0) {
            m_nibble = digit;
        } else {
            bytes += char(m_nibble * 16 + digit);
            m_nibble = -1;
        }
    }
    if (last && m_nibble >= 0)
        Problem(QStringLiteral("a hex digit without its pair"));
    if (last)
        m_nibble = -1;
    if (!bytes.empty())
        m_sink(m_stream, bytes);
}

void SessionTextReader::Problem(const QString& what)
{
    if (++m_problemCount <= kProblemsTold)
        m_problems << QStringLiteral("line %1: %2").arg(m_number).arg(what);
}
