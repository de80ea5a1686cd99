#pragma once

#include <QString>

// The server kinds a session can be set to; the index chooses the listing parser.
constexpr int ServerTypeCount = 53;

constexpr int ServerTypeAutoDetect = 0;
constexpr int ServerTypeNotRelevant = 1;
constexpr int ServerTypeIBMVM = 5;
constexpr int ServerTypeUnix = 11;
constexpr int ServerTypeVMSMultiNet = 12;
constexpr int ServerTypeVMSUCX = 13;
constexpr int ServerTypeMicrosoftNT = 17;

// Display text of a server type ("UNIX (standard)"); empty when out of range.
QString ServerTypeText(int index);
