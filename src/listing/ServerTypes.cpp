#include "listing/ServerTypes.h"

namespace {

const char* const kServerTypeTexts[ServerTypeCount] = {
    "Automatic Detect",
    "Not Relevant",
    "Chameleon",
    "FTP PC/TCP",
    "IBM PC TCP/IP",
    "IBM VM",
    "KA9Q/NOS",
    "NCSA/CUTCP",
    "SI NT FTPD",
    "Super TCP",
    "Unisys 5000 (EXOS)",
    "UNIX (standard)",
    "VMS MultiNet",
    "VMS UCX",
    "QVT/Net 2/3",
    "MAC NCSA",
    "MAC Peter Server",
    "Microsoft NT",
    "IBM AS/400",
    "IBM MVS",
    "PDP11 RSX11M",
    "Sun Solaris",
    "OS/9",
    "Ipswitch",
    "BULL GCOS",
    "IBM MVS/KNET",
    "Amiga",
    "CDC Cyber",
    "IBM R1000",
    "BULL CP6",
    "IBM Spartacus KNET",
    "Tandem",
    "Stratus VOS",
    "HP/3000",
    "Serv-U",
    "WFTPD",
    "Netware v4",
    "PCNFS Pro",
    "TGV MultiNet",
    "FTP PC/TCP 3.0",
    "QVT/Net 4.0",
    "MAC VersaTerm",
    "HellSoft",
    "IBM OS2 WARP",
    "PRIMOS",
    "OS2200",
    "UniTree",
    "QNX2",
    "WarFTPD",
    "IBM OS2",
    "Music",
    "AOS/VS",
    "Passport 160",
};

} // namespace

QString ServerTypeText(int index) {
    if (index < 0 || index >= ServerTypeCount) return {};
    return QString::fromLatin1(kServerTypeTexts[index]);
}
