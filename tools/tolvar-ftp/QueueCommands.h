#pragma once

#include <QStringList>

// "mget URL... LOCALDIR" and "mput LOCALFILE... URL/": one item per file in the
// "General" transfer queue, run until the queue is idle.

// True when the command line asks for mget or mput.
bool IsQueueCommand(const QStringList& arguments);
// Runs the command in the application's event loop; the process exit code: 0 when every
// item is done, 1 otherwise, 2 on a usage error.
int RunQueueCommand(const QStringList& arguments);
