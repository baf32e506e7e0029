#pragma once

#include <QString>

// What a reply's check value said, when there was one to check: "bcc ok", or
// "bcc 5B, expected 5A" and failed.
struct ReplyCheck {
    QString verdict;
    bool failed = false;
};
