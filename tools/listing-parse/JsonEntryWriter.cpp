#include "JsonEntryWriter.h"

#include "listing/ListingParser.h"

namespace {

constexpr size_t kFlushAt = 1 << 16;

void AppendEscaped(std::string& out, const char* text, qsizetype length) {
    static const char hex[] = "0123456789abcdef";
    for (qsizetype i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += char(c);
            }
        }
    }
}

void AppendNumber(std::string& out, long long value) {
    char digits[24];
    const int n = std::snprintf(digits, sizeof digits, "%lld", value);
    out.append(digits, size_t(n));
}

} // namespace

void TJsonEntryWriter::AppendName(const QByteArray& name) {
    bool ascii = true;
    for (const char c : name)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        AppendEscaped(Buffer, name.constData(), name.size());
        return;
    }
    const QByteArray utf8 = Charset.Decode(name).toUtf8();
    AppendEscaped(Buffer, utf8.constData(), utf8.size());
}

void TJsonEntryWriter::AppendDate(double date) {
    // Entries of one listing often share a date; formatting it once saves time.
    if (date != LastDate) {
        const TDayNumberParts p = SplitDayNumber(date);
        std::snprintf(LastDateText, sizeof LastDateText, "%04d-%02d-%02d %02d:%02d", p.Year,
                      p.Month, p.Day, p.Hour, p.Minute);
        LastDate = date;
    }
    Buffer += LastDateText;
}

void TJsonEntryWriter::Write(const TRemoteListEntry& entry) {
    const TRemoteItem& item = entry.Item;
    Buffer += "{\"name\":\"";
    AppendName(entry.Name);
    Buffer += "\",\"size\":";
    AppendNumber(Buffer, item.Size);
    Buffer += (item.Attributes & raFolder) ? ",\"folder\":true" : ",\"folder\":false";
    Buffer += (item.Attributes & raLink) ? ",\"link\":true" : ",\"link\":false";
    Buffer += ",\"attributes\":";
    AppendNumber(Buffer, item.Attributes);
    Buffer += ",\"date\":\"";
    AppendDate(item.Date);
    Buffer += "\"}\n";
    if (Buffer.size() >= kFlushAt) Flush();
}

void TJsonEntryWriter::WriteNotUnderstood(const QByteArray& line) {
    Buffer += "{\"unparsed\":true,\"line\":\"";
    AppendName(line);
    Buffer += "\"}\n";
    if (Buffer.size() >= kFlushAt) Flush();
}

void TJsonEntryWriter::Flush() {
    if (!Buffer.empty()) std::fwrite(Buffer.data(), 1, Buffer.size(), Out);
    Buffer.clear();
}
