#pragma once

#include <QString>

// The server kinds a session can be set to; the index chooses the listing parser.
constexpr int ServerTypeCount = 57;

constexpr int ServerTypeAutoDetect = 0;
constexpr int ServerTypeNotRelevant = 1;
constexpr int ServerTypeIBMVM = 5;
constexpr int ServerTypeUnix = 11;
constexpr int ServerTypeVMSMultiNet = 12;
constexpr int ServerTypeVMSUCX = 13;
constexpr int ServerTypeMicrosoftNT = 17;
// Kinds with listing forms of their own, added after the first 53.
constexpr int ServerTypeZOS = 53;
constexpr int ServerTypeIBMi = 54;
constexpr int ServerTypeOS2 = 55;
constexpr int ServerTypeEPLF = 56;

// Display text of a server type ("UNIX (standard)"); empty when out of range.
QString ServerTypeText(int index);
