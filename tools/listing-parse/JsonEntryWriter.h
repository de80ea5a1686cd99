#pragma once

#include "listing/RemoteItem.h"

#include <cstdio>
#include <string>

// Writes remote items as JSON lines:
// {"name":..,"size":..,"folder":..,"link":..,"attributes":..,"date":"YYYY-MM-DD HH:MM"}
class TJsonEntryWriter {
public:
    explicit TJsonEntryWriter(std::FILE* out) : Out(out) {}
    ~TJsonEntryWriter() { Flush(); }

    void Write(const TRemoteListEntry& entry);
    void Flush();

private:
    void AppendName(const QByteArray& name);
    void AppendDate(double date);

    std::FILE* Out;
    std::string Buffer;
    double LastDate = -1e300;
    char LastDateText[64] = {};
};
