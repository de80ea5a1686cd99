#include "engine/ReplyReader.h"

#include "listing/FtpUtils.h"

bool TReplyReader::HasLine() const {
    for (const char c : Buffer_)
        if (c == '\r' || c == '\n') return true;
    return false;
}

QByteArray TReplyReader::TakeLine() {
    return ExtractFirstLine(Buffer_);
}

bool TReplyReader::PendingLineTooLong() const {
    return Buffer_.size() > MaxLineLength && !HasLine();
}

int TReplyReader::LineCode(const QByteArray& line) {
    if (line.size() < 3) return 0;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        const char c = line.at(i);
        if (c < '0' || c > '9') return 0;
        code = code * 10 + (c - '0');
    }
    return code >= 100 && code <= 599 ? code : 0;
}

bool TReplyReader::IsFinal(const QByteArray& line) {
    return line.size() >= 4 && line.at(3) == ' ' && LineCode(line) != 0;
}
