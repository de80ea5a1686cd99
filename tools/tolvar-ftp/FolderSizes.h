#pragma once

#include "transfer/TransferItem.h"

#include <functional>
#include <memory>
#include <vector>

// Fills the sizes and dates of download items from one listing of each source folder,
// as a file view would before queueing them; items of folders that cannot be listed
// keep size 0 (the session then asks the server for each size). Calls done() when all
// folders have been tried. Runs in the event loop; the items must outlive it.
void FillSizesFromListings(std::vector<std::unique_ptr<TTransferItem>>& items, bool passive,
                           std::function<void()> done);
