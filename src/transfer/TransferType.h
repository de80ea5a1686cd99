#pragma once

#include <QByteArray>

struct TSettings;

// The transfer type for a file: TransferMode 0 chooses ASCII (1) for the extensions of
// the ASCII list and binary (2) otherwise; 1 to 4 give themselves; anything else binary.
int TransferTypeFor(const QByteArray& fileName, const TSettings& settings);
