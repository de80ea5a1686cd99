#pragma once

#include "ToolContext.h"
#include "ToolOptions.h"

// "mget URL... LOCALDIR" and "mput LOCALFILE... URL/": one item per file in the
// "General" transfer queue, run until the queue is idle.

// Runs the command in the application's event loop; the process exit code: 0 when every
// item is done, 1 otherwise, 2 on a usage error.
int RunQueueCommand(const TToolOptions& options, const TToolContext& context);
