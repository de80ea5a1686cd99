#pragma once

#include "listing/NameCharset.h"
#include "listing/RemoteItem.h"

#include <cstdio>
#include <string>

// Writes remote items as JSON lines:
// {"name":..,"size":..,"folder":..,"link":..,"attributes":..,"date":"YYYY-MM-DD HH:MM"}
// and lines no parser understood as {"unparsed":true,"line":..}. Names and lines are
// server bytes, read as the character set says.
class TJsonEntryWriter {
public:
    explicit TJsonEntryWriter(std::FILE* out, TNameCharset charset = {})
        : Out(out), Charset(std::move(charset)) {}
    ~TJsonEntryWriter() { Flush(); }

    void Write(const TRemoteListEntry& entry);
    void WriteNotUnderstood(const QByteArray& line);
    void Flush();

private:
    void AppendName(const QByteArray& name);
    void AppendDate(double date);

    std::FILE* Out;
    TNameCharset Charset;
    std::string Buffer;
    double LastDate = -1e300;
    char LastDateText[64] = {};
};
