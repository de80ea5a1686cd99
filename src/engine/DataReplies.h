#pragma once

#include <QByteArray>

#include <cstdint>

// Pure readers of the replies that set up and announce a data connection.

// The port of a 227 reply, or 0 when the reply is malformed. The reply's address is
// only checked for form: the data connection always goes to the control connection's
// peer. hostCommas is that peer's IPv4 address written with commas ("10,0,0,1"), or
// empty; it marks where the numbers start when the reply has no " (".
int PassiveReplyPort(const QByteArray& reply, const QByteArray& hostCommas);

// The port of a 229 reply ("(|||6446|)"), or 0 when malformed.
int ExtendedPassiveReplyPort(const QByteArray& reply);

// The size a 150 reply announces for the file ("... for a.zip (12345 bytes)."),
// or -1 when it announces none.
int64_t AnnouncedSize(const QByteArray& reply, const QByteArray& fileName);
