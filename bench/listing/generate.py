"""Writes a Unix "ls -l" listing of N lines to standard output: a realistic mix of
files, folders and links, recent entries with a time and older ones with a year."""
import random
import sys

MONTHS = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec".split()
WORDS = "report data backup image index archive notes release draft photo music setup".split()
EXTS = ["txt", "tar.gz", "zip", "jpg", "iso", "c", "html", "pdf", "log", "deb"]
OWNERS = ["ftp", "root", "www-data", "alice", "bob", "mirror"]


def mode(kind, rng):
    perms = "".join(rng.choice(["rwx", "rw-", "r-x", "r--", "---"]) for _ in range(3))
    return kind + perms


def name(rng, i):
    base = rng.choice(WORDS)
    if rng.random() < 0.15:
        base += " " + rng.choice(WORDS)
    return "%s-%d.%s" % (base, i, rng.choice(EXTS))


def line(rng, i):
    r = rng.random()
    owner, group = rng.choice(OWNERS), rng.choice(OWNERS)
    month, day = rng.choice(MONTHS), rng.randint(1, 28)
    when = ("%02d:%02d" % (rng.randint(0, 23), rng.randint(0, 59)) if rng.random() < 0.4
            else " %d" % rng.randint(1995, 2025))
    if r < 0.15:
        return "%s %3d %-8s %-8s %8d %s %2d %5s %s" % (
            mode("d", rng), rng.randint(2, 40), owner, group, 4096, month, day, when,
            rng.choice(WORDS) + "-%d" % i)
    if r < 0.22:
        target = "../" + rng.choice(WORDS) + "/" + name(rng, i)
        return "%s %3d %-8s %-8s %8d %s %2d %5s %s -> %s" % (
            "lrwxrwxrwx", 1, owner, group, len(target), month, day, when, name(rng, i), target)
    size = int(rng.lognormvariate(10, 3)) if rng.random() < 0.98 else rng.randint(2**32, 2**36)
    return "%s %3d %-8s %-8s %8d %s %2d %5s %s" % (
        mode("-", rng), 1, owner, group, size, month, day, when, name(rng, i))


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 1000000
    rng = random.Random(20261206)
    out = sys.stdout
    out.write("total %d\n" % (count * 8))
    for i in range(count):
        out.write(line(rng, i))
        out.write("\r\n")


main()
