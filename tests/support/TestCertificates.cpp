#include "TestCertificates.h"

#include "RunProgram.h"

bool TTestCertificates::openssl(const QStringList& arguments) {
    const TProgramRun run = RunProgram(QStringLiteral("/usr/bin/openssl"), arguments);
    if (run.ExitCode == 0) return true;
    m_error = QStringLiteral("openssl %1: %2")
                  .arg(arguments.join(' '), QString::fromLocal8Bit(run.Err.left(400)));
    return false;
}

bool TTestCertificates::make() {
    const QStringList newKey = {QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                                QStringLiteral("-nodes"), QStringLiteral("-days"),
                                QStringLiteral("2")};
    if (!openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + newKey +
                 QStringList{"-keyout", path("ca.key"), "-out", authority(), "-subj",
                             "/CN=Tolvar Test Authority"}))
        return false;
    struct TRequest {
        TKind Kind;
        const char* Subject;
        const char* AltName;
    };
    for (const TRequest& r : {TRequest{ForLoopback, "/CN=127.0.0.1", "IP:127.0.0.1"},
                              TRequest{ForOtherHost, "/CN=other.example", "DNS:other.example"},
                              TRequest{SelfSigned, "/CN=127.0.0.1", "IP:127.0.0.1"}}) {
        const QString altName = QStringLiteral("subjectAltName=") + QLatin1String(r.AltName);
        const QStringList common = {"-keyout", key(r.Kind), "-subj", QLatin1String(r.Subject),
                                    "-addext", altName};
        if (r.Kind == SelfSigned) {
            if (!openssl(QStringList{"req", "-x509"} + newKey + common +
                         QStringList{"-out", certificate(r.Kind)}))
                return false;
            continue;
        }
        const QString request = path(Names[r.Kind]) + ".csr";
        if (!openssl(QStringList{"req"} + newKey + common + QStringList{"-out", request}) ||
            !openssl({"x509", "-req", "-in", request, "-CA", authority(), "-CAkey", path("ca.key"),
                      "-CAcreateserial", "-days", "2", "-copy_extensions", "copy", "-out",
                      certificate(r.Kind)}))
            return false;
    }
    return true;
}

QByteArray TTestCertificates::fingerprint(TKind kind) const {
    const TProgramRun run =
        RunProgram(QStringLiteral("/usr/bin/openssl"),
                   {"x509", "-noout", "-fingerprint", "-sha256", "-in", certificate(kind)});
    // "sha256 Fingerprint=AB:CD:…"
    return run.Out.mid(run.Out.indexOf('=') + 1).trimmed();
}
