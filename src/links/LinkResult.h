#pragma once

#include <QString>

// The outcome of a link operation: success, or a failure with a description for the operator.
class LinkResult
{
public:
    static LinkResult Success() { return LinkResult(); }
    static LinkResult Failure(const QString& description) { return LinkResult(description); }

    bool ok() const { return m_failed == false; }
    const QString& description() const { return m_description; }

private:
    LinkResult() = default;
    explicit LinkResult(const QString& description) : m_failed(true), m_description(description) {}

    bool m_failed = false;
    QString m_description;
};
