#include "engine/LineEnds.h"

#include <cstring>

void TLineEnds::Convert(const char* data, int64_t length, QByteArray& out) {
    out.clear();
    if (length <= 0) return;
    const char* p = data;
    const char* const end = data + length;
    if (Direction_ == TDirection::ToLocal) {
        out.reserve(static_cast<qsizetype>(length) + 1);
        if (LastCR_) {
            LastCR_ = false;
            if (*p != '\n') out.append('\r');
        }
        while (p < end) {
            const char* cr = static_cast<const char*>(std::memchr(p, '\r', end - p));
            if (!cr) {
                out.append(p, end - p);
                break;
            }
            out.append(p, cr - p);
            if (cr + 1 == end) {
                LastCR_ = true;
                break;
            }
            // CR LF becomes the LF alone; a lone CR stays.
            if (cr[1] != '\n') out.append('\r');
            p = cr + 1;
        }
        return;
    }
    out.reserve(static_cast<qsizetype>(length + length / 16 + 16));
    while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
        if (!lf) {
            out.append(p, end - p);
            break;
        }
        out.append(p, lf - p);
        const bool hasCR = lf > data ? lf[-1] == '\r' : LastCR_;
        out.append(hasCR ? "\n" : "\r\n");
        p = lf + 1;
    }
    LastCR_ = end[-1] == '\r';
}

void TLineEnds::Finish(QByteArray& out) {
    out.clear();
    if (Direction_ == TDirection::ToLocal && LastCR_) out.append('\r');
    LastCR_ = false;
}
