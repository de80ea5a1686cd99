// Times ReadListing on a saved listing held in memory, as the session reads a received
// LIST reply: the Unix parser, with lines it does not understand tried with the others. Prints
// "<lines> <entries> <seconds>" for the best of a few runs, in processor seconds.
#include "listing/ListingParser.h"
#include "listing/ServerTypes.h"

#include <QDate>
#include <QFile>

#include <cstdio>
#include <ctime>

namespace {

// Processor time rather than wall time: the machine may be busy with other work.
double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: listing-bench FILE\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "listing-bench: cannot read %s\n", argv[1]);
        return 2;
    }
    const QByteArray text = file.readAll();
    long long lines = 0;
    for (const QByteArray& line : text.split('\n'))
        lines += !line.trimmed().isEmpty();

    const QDate today(2026, 12, 6);
    double best = 1e9;
    size_t entries = 0;
    for (int run = 0; run < 3; ++run) {
        const double start = CpuSeconds();
        const TListingOutcome outcome =
            ReadListing(ListingParserFor(ServerTypeUnix), text, today, QString(), true);
        best = std::min(best, CpuSeconds() - start);
        entries = outcome.Items.size();
    }
    std::printf("%lld %zu %.6f\n", lines, entries, best);
    return 0;
}
