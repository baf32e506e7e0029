#include "commandline/CommandHistory.h"

void CommandHistory::Add(const QString& command)
{
    if (!command.isEmpty() && (m_commands.isEmpty() || m_commands.constLast() != command))
        m_commands.append(command);
    m_at = m_commands.size();
}

std::optional<QString> CommandHistory::Older(const QString& editing)
{
    if (m_at == 0)
        return std::nullopt;
    if (m_at == m_commands.size())
        m_editing = editing;
    return m_commands.at(--m_at);
}

std::optional<QString> CommandHistory::Newer()
{
    if (m_at >= m_commands.size())
        return std::nullopt;
    return ++m_at == m_commands.size() ? m_editing : m_commands.at(m_at);
}
