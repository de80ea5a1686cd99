#pragma once

// Just enough of an FTP client to fetch the text of a LIST reply from a test server on
// 127.0.0.1: log in anonymously, PASV, LIST, read the data connection to its end.
// Every wait is bounded.

#include <QByteArray>
#include <QString>
#include <QTcpSocket>

class TListingFetcher {
public:
    // The raw LIST text of the folder (the server's current folder when empty); false
    // with errorText() on any unexpected reply or time-out.
    bool fetch(quint16 port, const QByteArray& folder, QByteArray& listing);
    QString errorText() const { return m_error; }

private:
    bool command(const QByteArray& line, char expectedFirstDigit, QByteArray* reply = nullptr);
    bool readReply(QByteArray& reply);
    bool fail(const QString& text);

    QTcpSocket m_control;
    QString m_error;
};
