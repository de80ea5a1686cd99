#pragma once

#include "ToolContext.h"
#include "ToolOptions.h"

// "mget [-r] URL... LOCALDIR" and "mput [-r] LOCALFILE... URL/": the queue builder walks
// the sources (folders depth first with -r) and decides each existing destination file;
// its items run in the "General" transfer queue until the queue is idle.

// Runs the command in the application's event loop; the process exit code: 0 when every
// item is done, 1 when anything failed, 2 when an existing file was skipped or on a usage
// error.
int RunQueueCommand(const TToolOptions& options, const TToolContext& context);
