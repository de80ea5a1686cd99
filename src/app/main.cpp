#include "listing/DebugLog.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    for (const QString& arg : app.arguments().mid(1))
        if (arg == QLatin1String("-d") || arg == QLatin1String("/d"))
            SetDebugLogEnabled(true);
    QTextStream(stderr) << "Tolvar 1.10a: the main window does not exist yet.\n"
                           "The FTP engine is built and tested; see README.md for the tools "
                           "that can be run today.\n";
    return 0;
}
