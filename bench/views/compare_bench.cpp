// The folder compare on two big folders, as "Compare Folders" runs it on the panes' lists:
// N entries a side, most names shared (a tenth differing in case, a tenth on one side
// only), sizes and dates varied. Prints "key value" lines, best of five:
//   compare_ms     N entries a side (CPU time of the thread, so that a busy machine
//                  does not count)
//   compare2x_ms   2N entries a side
//   growth         compare2x_ms / compare_ms (2 for a linear compare)
//   compare-bench [N]   (N defaults to 100000)
#include "../BenchSupport.h"
#include "views/FolderCompare.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

void Fill(int count, QList<TCompareEntry>& local, QList<TCompareEntry>& host) {
    std::mt19937 random(1989);
    local.clear();
    host.clear();
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("Report %1 draft.txt").arg(i);
        const int64_t size = random() % 5'000'000;
        const double date = 45000 + (random() % 1'000'000) / 1440.0;
        local.append({name, size, date, i % 100 == 7});
        if (i % 10 == 3) continue; // only here
        host.append({i % 10 == 5 ? name.toUpper() : name, size + (i % 4 == 0), date, i % 100 == 7});
    }
    std::shuffle(host.begin(), host.end(), random);
}

double BestMs(int count) {
    QList<TCompareEntry> local, host;
    Fill(count, local, host);
    double best = 1e12;
    for (int round = 0; round < 5; ++round) {
        const double start = bench::CpuMs(RUSAGE_THREAD);
        const TCompareResult result = CompareFolders(local, host, {false, false});
        best = std::min(best, bench::CpuMs(RUSAGE_THREAD) - start);
        if (result.Local.isEmpty()) bench::Fail("compare-bench", "nothing selected");
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100'000;
    const double one = BestMs(count);
    const double two = BestMs(2 * count);
    std::printf("compare_ms %.1f\ncompare2x_ms %.1f\ngrowth %.2f\n", one, two, two / one);
    return 0;
}
