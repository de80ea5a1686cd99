#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <vector>

// A private profile (.ini) file read and edited the way the Windows profile functions
// do it, so that files written by Windows programs read the same here and files
// written here read the same there:
// - sections and keys are found without regard to case; the first match wins;
// - values are trimmed, and one pair of matching surrounding quotes is dropped;
// - integers read as their leading digits; a value without digits reads as the default;
// - an update rewrites only the line of that key; new keys go to the end of their
//   section, new sections to the end of the file; comments, blank lines and keys we
//   do not know stay as they are;
// - lines end in CR/LF when written; CR/LF, LF and CR all read.
// Texts are UTF-8 when the bytes are valid UTF-8, else Latin-1 (files written by
// Windows programs in their ANSI code page).
//
// The file is read once when the object is made; writes change the copy in memory
// and Flush() replaces the file in one step (a temporary file renamed over it), so
// a crash never leaves half a file. A replaced file keeps its mode bits.
class TProfileFile {
public:
    explicit TProfileFile(const QString& path);

    const QString& FileName() const { return FPath; }
    // Reads the file again, dropping unflushed changes. False when it exists but
    // cannot be read.
    bool Reload();
    // Writes the changes, if any. False when the file cannot be replaced; the old
    // file is then left as it was.
    bool Flush();
    bool Modified() const { return FModified; }
    // A file that Flush() creates is readable by its owner only (0600), for files that
    // hold passwords. An existing file keeps its mode either way.
    void SetOwnerOnly(bool on) { FOwnerOnly = on; }

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // The stored bytes of the value, trimmed and unquoted like a text.
    QByteArray ReadBytes(const QString& section, const QString& key, const QByteArray& def) const;
    int ReadInteger(const QString& section, const QString& key, int def) const;
    // Non-zero integer is true; a value that is not a number reads as the default.
    bool ReadBool(const QString& section, const QString& key, bool def) const;

    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;
    QStringList ReadSections() const;
    // Key names of the section, in file order.
    QStringList ReadSection(const QString& section) const;
    // Every key=value line of the section, in file order, values read as by ReadString.
    QList<QPair<QString, QString>> ReadSectionValues(const QString& section) const;

    // The writes return false when the name or value cannot be stored as one line
    // (a line break in it, or a "]" in a section name).
    bool WriteString(const QString& section, const QString& key, const QString& value);
    bool WriteInteger(const QString& section, const QString& key, int value);
    bool WriteBool(const QString& section, const QString& key, bool value);
    // Stores the bytes as they are; values that the reading rules would change (blanks
    // at either end, surrounding quotes) are put in quotes so that they read back whole.
    bool WriteBytes(const QString& section, const QString& key, const QByteArray& value);
    // As WriteString, quoted like WriteBytes when the text would not read back whole.
    bool WriteExactString(const QString& section, const QString& key, const QString& value);

    void EraseSection(const QString& section);
    void DeleteKey(const QString& section, const QString& key);

    // How a stored value reads: blanks trimmed at both ends, then one pair of matching
    // surrounding quotes (" or ') dropped.
    static QByteArray UnquoteValue(QByteArray value);

private:
    enum class TLineKind { Other, Section, Key };
    struct TLine {
        QByteArray Raw; // the line as read, without its line end
        TLineKind Kind = TLineKind::Other;
        QString Name;     // section or key name, decoded
        QByteArray Value; // key lines: trimmed value, quotes not yet removed
    };

    void Parse(const QByteArray& data);
    static TLine ParseLine(const QByteArray& raw);
    qsizetype FindSection(const QString& section) const;
    qsizetype SectionEnd(qsizetype header) const;
    qsizetype FindKey(qsizetype header, const QString& key) const;
    bool WriteRaw(const QString& section, const QString& key, const QByteArray& value);

    QString FPath;
    std::vector<TLine> FLines;
    bool FBom = false;
    bool FModified = false;
    bool FOwnerOnly = false;
};
