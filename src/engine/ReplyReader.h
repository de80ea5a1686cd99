#pragma once

#include <QByteArray>

// Frames control-connection bytes into reply lines and classifies them. Knows
// nothing of sockets: the session feeds it what it receives.
class TReplyReader {
public:
    // A hostile server must not make the client buffer without limit.
    static constexpr int MaxLineLength = 8 * 1024;
    static constexpr int MaxReplyBytes = 64 * 1024;
    static constexpr int MaxReplyLines = 1000;

    void Clear() { Buffer_.clear(); }
    void Append(const char* data, qsizetype length) { Buffer_.append(data, length); }
    bool HasLine() const;
    QByteArray TakeLine();
    // The bytes waiting for a line end already exceed one line's cap.
    bool PendingLineTooLong() const;
    qsizetype Buffered() const { return Buffer_.size(); }

    // The code of a line: its first three characters when they are a number from
    // 100 to 599, else 0.
    static int LineCode(const QByteArray& line);
    // A line ends a reply when it has a valid code and a blank as its fourth character.
    static bool IsFinal(const QByteArray& line);

private:
    QByteArray Buffer_;
};
