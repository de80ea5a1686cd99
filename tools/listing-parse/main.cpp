// listing-parse [--server-type N] [--today YYYY-MM-DD] FILE
// Parses a saved directory listing (FILE, or "-" for standard input) as the session
// would, prints one JSON object per entry and, on standard error, the counts of lines
// read and entries made. Used to diagnose real listings and by the benchmark.
#include "JsonEntryWriter.h"

#include "listing/ListingParser.h"
#include "listing/ServerTypes.h"

#include <QByteArray>
#include <QDate>
#include <QFile>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kExitUsage = 2;

int Usage(const char* problem) {
    std::fprintf(stderr,
                 "listing-parse: %s\n"
                 "usage: listing-parse [--server-type N] [--today YYYY-MM-DD] FILE\n"
                 "  FILE         listing text, or - for standard input\n"
                 "  --server-type  0..%d, default 11 (UNIX (standard))\n"
                 "  --today      the date the listing is read on, default today\n",
                 problem, ServerTypeCount - 1);
    return kExitUsage;
}

struct TOptions {
    int ServerType = ServerTypeUnix;
    QDate Today = QDate::currentDate();
    QString File;
};

// Accepts "--name value" and "--name=value".
bool TakeValue(int argc, char** argv, int& i, const char* name, QByteArray& value) {
    const size_t length = std::strlen(name);
    if (std::strncmp(argv[i], name, length) != 0) return false;
    if (argv[i][length] == '=') {
        value = argv[i] + length + 1;
        return true;
    }
    if (argv[i][length] != '\0') return false;
    value = i + 1 < argc ? QByteArray(argv[++i]) : QByteArray();
    return true;
}

int ReadOptions(int argc, char** argv, TOptions& options) {
    bool haveFile = false;
    for (int i = 1; i < argc; ++i) {
        QByteArray value;
        if (TakeValue(argc, argv, i, "--server-type", value)) {
            bool ok = false;
            options.ServerType = value.toInt(&ok);
            if (!ok || options.ServerType < 0 || options.ServerType >= ServerTypeCount)
                return Usage("--server-type needs a number from the server type list");
        } else if (TakeValue(argc, argv, i, "--today", value)) {
            options.Today =
                QDate::fromString(QString::fromLatin1(value), QStringLiteral("yyyy-MM-dd"));
            if (!options.Today.isValid()) return Usage("--today needs a date as YYYY-MM-DD");
        } else if (std::strcmp(argv[i], "-") != 0 && argv[i][0] == '-') {
            return Usage("unknown option");
        } else if (haveFile) {
            return Usage("only one FILE can be given");
        } else {
            options.File = QString::fromLocal8Bit(argv[i]);
            haveFile = true;
        }
    }
    return haveFile ? 0 : Usage("no FILE given");
}

bool ReadInput(const QString& name, QByteArray& text) {
    QFile file;
    const bool ok = name == QLatin1String("-")
                        ? file.open(stdin, QIODevice::ReadOnly)
                        : (file.setFileName(name), file.open(QIODevice::ReadOnly));
    if (!ok) return false;
    text = file.readAll();
    return file.error() == QFileDevice::NoError;
}

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (const int rc = ReadOptions(argc, argv, options)) return rc;
    QByteArray text;
    if (!ReadInput(options.File, text)) return Usage("cannot read FILE");

    const TListingParser parser = ListingParserFor(options.ServerType);
    TRemoteItemList list;
    long long lines = 0;
    if (parser != nullptr) {
        TListingTarget target{&list, QString()};
        TListingParse parse(text, options.Today, AddListingEntry, &target);
        for (; !parse.AtEnd(); ++lines)
            parser(parse);
    }

    TJsonEntryWriter writer(stdout);
    for (const TRemoteListEntry& entry : list)
        writer.Write(entry);
    writer.Flush();
    std::fflush(stdout);
    std::fprintf(stderr, "lines read: %lld, entries: %zu\n", lines, list.size());
    return 0;
}
