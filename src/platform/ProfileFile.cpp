#include "platform/ProfileFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <limits>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

QByteArray TrimBlanks(const QByteArray& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

QString Decode(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError()) return QString::fromLatin1(bytes);
    return text;
}

bool SameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A line break or NUL would end the line early and let the rest be read as
// another key or section.
bool FitsOnOneLine(const QByteArray& bytes) {
    return !bytes.contains('\r') && !bytes.contains('\n') && !bytes.contains('\0');
}

bool ValidSectionName(const QString& name) {
    const QByteArray bytes = name.toUtf8();
    return !bytes.isEmpty() && FitsOnOneLine(bytes) && !bytes.contains(']') &&
           TrimBlanks(bytes) == bytes;
}

bool ValidKeyName(const QString& name) {
    const QByteArray bytes = name.toUtf8();
    return !bytes.isEmpty() && FitsOnOneLine(bytes) && !bytes.contains('=') &&
           !bytes.startsWith(';') && !bytes.startsWith('[') && TrimBlanks(bytes) == bytes;
}

bool ReadsBackWhole(const QByteArray& value) {
    return TProfileFile::UnquoteValue(value) == value;
}

} // namespace

TProfileFile::TProfileFile(const QString& path) : FPath(path) {
    Reload();
}

bool TProfileFile::Reload() {
    FLines.clear();
    FBom = false;
    FModified = false;
    QFile file(FPath);
    if (!file.exists()) return true;
    if (!file.open(QIODevice::ReadOnly)) return false;
    Parse(file.readAll());
    return true;
}

void TProfileFile::Parse(const QByteArray& data) {
    qsizetype pos = 0;
    if (data.startsWith("\xEF\xBB\xBF")) {
        FBom = true;
        pos = 3;
    }
    while (pos < data.size()) {
        qsizetype end = pos;
        while (end < data.size() && data[end] != '\n' && data[end] != '\r')
            ++end;
        FLines.push_back(ParseLine(data.mid(pos, end - pos)));
        if (end < data.size() && data[end] == '\r' && end + 1 < data.size() &&
            data[end + 1] == '\n')
            ++end;
        pos = end + 1;
    }
}

TProfileFile::TLine TProfileFile::ParseLine(const QByteArray& raw) {
    TLine line;
    line.Raw = raw;
    const QByteArray text = TrimBlanks(raw);
    if (text.isEmpty() || text.startsWith(';')) return line;
    if (text.startsWith('[')) {
        qsizetype close = text.indexOf(']');
        if (close < 0) close = text.size();
        line.Kind = TLineKind::Section;
        line.Name = Decode(TrimBlanks(text.mid(1, close - 1)));
        return line;
    }
    const qsizetype equals = text.indexOf('=');
    if (equals < 0) return line;
    line.Kind = TLineKind::Key;
    line.Name = Decode(TrimBlanks(text.left(equals)));
    line.Value = TrimBlanks(text.mid(equals + 1));
    return line;
}

QByteArray TProfileFile::UnquoteValue(QByteArray value) {
    value = TrimBlanks(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

qsizetype TProfileFile::FindSection(const QString& section) const {
    for (size_t i = 0; i < FLines.size(); ++i) {
        if (FLines[i].Kind == TLineKind::Section && SameName(FLines[i].Name, section))
            return static_cast<qsizetype>(i);
    }
    return -1;
}

qsizetype TProfileFile::SectionEnd(qsizetype header) const {
    size_t i = static_cast<size_t>(header) + 1;
    while (i < FLines.size() && FLines[i].Kind != TLineKind::Section)
        ++i;
    return static_cast<qsizetype>(i);
}

qsizetype TProfileFile::FindKey(qsizetype header, const QString& key) const {
    if (header < 0) return -1;
    const qsizetype end = SectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const TLine& line = FLines[static_cast<size_t>(i)];
        if (line.Kind == TLineKind::Key && SameName(line.Name, key)) return i;
    }
    return -1;
}

QByteArray TProfileFile::ReadBytes(const QString& section, const QString& key,
                                   const QByteArray& def) const {
    const qsizetype at = FindKey(FindSection(section), key);
    if (at < 0) return def;
    return UnquoteValue(FLines[static_cast<size_t>(at)].Value);
}

QString TProfileFile::ReadString(const QString& section, const QString& key,
                                 const QString& def) const {
    const qsizetype at = FindKey(FindSection(section), key);
    if (at < 0) return def;
    return Decode(UnquoteValue(FLines[static_cast<size_t>(at)].Value));
}

int TProfileFile::ReadInteger(const QString& section, const QString& key, int def) const {
    const qsizetype at = FindKey(FindSection(section), key);
    if (at < 0) return def;
    const QByteArray text = UnquoteValue(FLines[static_cast<size_t>(at)].Value);
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    const qsizetype firstDigit = i;
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        // Out of range reads as the default rather than as a wrapped number.
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1) return def;
    }
    if (i == firstDigit) return def;
    if (negative) value = -value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return def;
    return static_cast<int>(value);
}

bool TProfileFile::ReadBool(const QString& section, const QString& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TProfileFile::SectionExists(const QString& section) const {
    return FindSection(section) >= 0;
}

bool TProfileFile::ValueExists(const QString& section, const QString& key) const {
    return FindKey(FindSection(section), key) >= 0;
}

QStringList TProfileFile::ReadSections() const {
    QStringList names;
    for (const TLine& line : FLines) {
        if (line.Kind == TLineKind::Section && !names.contains(line.Name, Qt::CaseInsensitive))
            names.append(line.Name);
    }
    return names;
}

QStringList TProfileFile::ReadSection(const QString& section) const {
    QStringList keys;
    for (const auto& pair : ReadSectionValues(section))
        keys.append(pair.first);
    return keys;
}

QList<QPair<QString, QString>> TProfileFile::ReadSectionValues(const QString& section) const {
    QList<QPair<QString, QString>> pairs;
    const qsizetype header = FindSection(section);
    if (header < 0) return pairs;
    const qsizetype end = SectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const TLine& line = FLines[static_cast<size_t>(i)];
        if (line.Kind == TLineKind::Key)
            pairs.append({line.Name, Decode(UnquoteValue(line.Value))});
    }
    return pairs;
}

bool TProfileFile::WriteRaw(const QString& section, const QString& key, const QByteArray& value) {
    if (!ValidSectionName(section) || !ValidKeyName(key) || !FitsOnOneLine(value)) return false;
    qsizetype header = FindSection(section);
    if (header < 0) {
        if (!FLines.empty() && !TrimBlanks(FLines.back().Raw).isEmpty()) FLines.push_back(TLine{});
        FLines.push_back(ParseLine('[' + section.toUtf8() + ']'));
        header = static_cast<qsizetype>(FLines.size()) - 1;
    }
    const qsizetype at = FindKey(header, key);
    if (at >= 0) {
        TLine& line = FLines[static_cast<size_t>(at)];
        // A line that already reads as the new value keeps its own form.
        if (UnquoteValue(line.Value) == UnquoteValue(value)) return true;
        // Keep the key as the file spells it; only the value changes.
        line = ParseLine(line.Raw.left(line.Raw.indexOf('=') + 1) + value);
        FModified = true;
        return true;
    }
    // After the section's last key, so that comments heading the next section stay there.
    qsizetype insertAt = header + 1;
    const qsizetype end = SectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (FLines[static_cast<size_t>(i)].Kind == TLineKind::Key) insertAt = i + 1;
    }
    FLines.insert(FLines.begin() + insertAt, ParseLine(key.toUtf8() + '=' + value));
    FModified = true;
    return true;
}

bool TProfileFile::WriteString(const QString& section, const QString& key, const QString& value) {
    return WriteRaw(section, key, value.toUtf8());
}

bool TProfileFile::WriteInteger(const QString& section, const QString& key, int value) {
    return WriteRaw(section, key, QByteArray::number(value));
}

bool TProfileFile::WriteBool(const QString& section, const QString& key, bool value) {
    return WriteRaw(section, key, value ? "1" : "0");
}

bool TProfileFile::WriteBytes(const QString& section, const QString& key, const QByteArray& value) {
    if (ReadsBackWhole(value)) return WriteRaw(section, key, value);
    return WriteRaw(section, key, '"' + value + '"');
}

bool TProfileFile::WriteExactString(const QString& section, const QString& key,
                                    const QString& value) {
    return WriteBytes(section, key, value.toUtf8());
}

void TProfileFile::EraseSection(const QString& section) {
    // Every section of that name goes, as a later duplicate would otherwise surface.
    for (qsizetype header = FindSection(section); header >= 0; header = FindSection(section)) {
        const qsizetype end = SectionEnd(header);
        FLines.erase(FLines.begin() + header, FLines.begin() + end);
        FModified = true;
    }
}

void TProfileFile::DeleteKey(const QString& section, const QString& key) {
    const qsizetype at = FindKey(FindSection(section), key);
    if (at < 0) return;
    FLines.erase(FLines.begin() + at);
    FModified = true;
}

bool TProfileFile::Flush() {
    if (!FModified) return true;
    // A read-only file stays unchanged, as the profile functions leave it.
    const QFileInfo info(FPath);
    if (info.exists() && !info.isWritable()) return false;
    // QSaveFile gives the new file the mode of the one it replaces; a file it creates
    // would get the umask's (often world-readable), so that is narrowed before any
    // byte is written.
    const bool creating = !info.exists();
    QSaveFile file(FPath);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (creating && FOwnerOnly &&
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        file.cancelWriting();
        return false;
    }
    QByteArray data;
    if (FBom) data += "\xEF\xBB\xBF";
    for (const TLine& line : FLines) {
        data += line.Raw;
        data += "\r\n";
    }
    if (file.write(data) != data.size() || !file.commit()) return false;
    FModified = false;
    return true;
}
