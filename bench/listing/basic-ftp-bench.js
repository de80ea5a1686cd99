// Times basic-ftp's parseList on a listing file; prints "<lines> <entries> <seconds>",
// in processor seconds for the best of a few runs.
const fs = require("fs");
const path = require("path");
const { parseList } = require(path.join(process.argv[2], "node_modules", "basic-ftp"));

const text = fs.readFileSync(process.argv[3], "latin1");
const lines = text.split("\n").filter((l) => l.trim().length > 0).length;
// Processor time (all threads, the collector's included), best of a few runs.
let seconds = Infinity;
let entries = [];
for (let run = 0; run < 3; run++) {
    const start = process.cpuUsage();
    entries = parseList(text);
    const used = process.cpuUsage(start);
    seconds = Math.min(seconds, (used.user + used.system) / 1e6);
}
console.log(`${lines} ${entries.length} ${seconds}`);
