// listing-parse [--server-type N] [--format KIND] [--charset NAME] [--today YYYY-MM-DD] FILE
// Parses a saved directory listing (FILE, or "-" for standard input) as the session
// would, or with one kind's parser alone, prints one JSON object per entry, then one per
// line no parser understood, and, on standard error, the counts of lines read and entries
// made. Used to diagnose real listings and by the benchmark.
#include "JsonEntryWriter.h"

#include "listing/FactsListing.h"
#include "listing/ListingParser.h"
#include "listing/NameCharset.h"
#include "listing/ServerTypes.h"

#include <QByteArray>
#include <QDate>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

constexpr int kExitUsage = 2;

// Without a problem the text is what was asked for: standard output, success.
int Usage(const char* problem) {
    if (problem) std::fprintf(stderr, "listing-parse: %s\n", problem);
    std::fprintf(problem ? stderr : stdout,
                 "usage: listing-parse [--server-type N] [--format KIND] [--charset NAME]\n"
                 "                     [--today YYYY-MM-DD] FILE\n"
                 "  FILE         listing text, or - for standard input\n"
                 "  --server-type  0..%d, default 11 (UNIX (standard))\n"
                 "  --format     auto (default: the server type's parser, lines it does not\n"
                 "               understand tried with the others), or one kind's parser\n"
                 "               alone: unix dos vms vm netware mvs os400 os2 eplf mlsd\n"
                 "  --charset    the server's legacy character set for names that are not\n"
                 "               UTF-8 (Shift_JIS, GBK, windows-1251, ...), default Latin-1\n"
                 "  --today      the date the listing is read on, default today\n",
                 ServerTypeCount - 1);
    return problem ? kExitUsage : 0;
}

struct TFormat {
    const char* Name;
    TListingParser Parser;
};

const TFormat kFormats[] = {
    {"unix", ParseUnixLine},         {"dos", ParseWindowsNTLine}, {"vms", ParseVMSLine},
    {"vm", ParseIBMVMLine},          {"netware", ParseUnixLine},  {"mvs", ParseMVSLine},
    {"os400", ParseOS400Line},       {"os2", ParseOS2Line},       {"eplf", ParseEPLFLine},
    {"mlsd", ParseFactsListingLine},
};

struct TOptions {
    int ServerType = ServerTypeUnix;
    // None: automatic.
    TListingParser Format = nullptr;
    TNameCharset Charset;
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
        } else if (TakeValue(argc, argv, i, "--format", value)) {
            const auto* format = std::find_if(std::begin(kFormats), std::end(kFormats),
                                              [&](const TFormat& f) { return value == f.Name; });
            if (format != std::end(kFormats))
                options.Format = format->Parser;
            else if (value != "auto")
                return Usage("--format needs auto or a listing kind");
        } else if (TakeValue(argc, argv, i, "--charset", value)) {
            options.Charset = TNameCharset(QString::fromLatin1(value));
            if (value.isEmpty() || !options.Charset.IsKnown())
                return Usage("--charset needs a character set this system knows");
        } else if (TakeValue(argc, argv, i, "--today", value)) {
            options.Today =
                QDate::fromString(QString::fromLatin1(value), QStringLiteral("yyyy-MM-dd"));
            if (!options.Today.isValid()) return Usage("--today needs a date as YYYY-MM-DD");
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            Usage(nullptr);
            return -1;
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
    // -1: the usage was asked for and has been printed.
    if (const int rc = ReadOptions(argc, argv, options)) return rc < 0 ? 0 : rc;
    QByteArray text;
    if (!ReadInput(options.File, text)) return Usage("cannot read FILE");

    const bool automatic = options.Format == nullptr;
    const TListingOutcome outcome =
        ReadListing(automatic ? ListingParserFor(options.ServerType) : options.Format, text,
                    options.Today, QString(), automatic, std::numeric_limits<qsizetype>::max());

    TJsonEntryWriter writer(stdout, options.Charset);
    for (const TRemoteListEntry& entry : outcome.Items)
        writer.Write(entry);
    for (const QByteArray& line : outcome.NotUnderstood)
        writer.WriteNotUnderstood(line);
    writer.Flush();
    std::fflush(stdout);
    std::fprintf(stderr, "lines read: %lld, entries: %zu", static_cast<long long>(outcome.Lines),
                 outcome.Items.size());
    if (outcome.NotUnderstoodCount > 0)
        std::fprintf(stderr, ", not understood: %lld",
                     static_cast<long long>(outcome.NotUnderstoodCount));
    std::fprintf(stderr, "\n");
    return 0;
}
