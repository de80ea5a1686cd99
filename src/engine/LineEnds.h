#pragma once

#include <QByteArray>

#include <cstdint>

// Line ends of text (ASCII type) transfers: the wire carries CR LF, local files LF.
// Receiving turns CR LF into LF; sending gives a bare LF its CR. A lone CR, and an LF
// that already has its CR, pass as they are. A CR LF split across two chunks is
// still one line end: the CR at the end of a chunk waits for the next one.
class TLineEnds {
public:
    enum class TDirection { ToLocal, ToWire };

    explicit TLineEnds(TDirection direction) : Direction_(direction) {}

    // The converted form of the chunk into out (replacing what out held).
    void Convert(const char* data, int64_t length, QByteArray& out);
    // The end of the stream: a CR held back is written after all.
    void Finish(QByteArray& out);

private:
    TDirection Direction_;
    // ToLocal: a CR ended the last chunk and is not written yet. ToWire: the last byte
    // sent was a CR, so an LF opening the next chunk already has its CR.
    bool LastCR_ = false;
};
