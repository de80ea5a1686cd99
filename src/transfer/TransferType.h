#pragma once

#include <QByteArray>

struct TSettings;

// The transfer type for a file: TransferMode 0 chooses ASCII (1) for the extensions of
// the ASCII list and binary (2) otherwise; 1 to 4 give themselves; anything else binary.
// `serverKeepsLF`: the server stores text with LF line ends, as this system does; mode 0
// then sends text as it is (binary). Many such servers (vsftpd and pure-ftpd as
// installed) store an ASCII upload's CR LF unchanged, which would change the file.
int TransferTypeFor(const QByteArray& fileName, const TSettings& settings,
                    bool serverKeepsLF = false);
// The server's kind (as detected or chosen) stores text with LF line ends.
bool ServerKeepsLF(int serverType);
