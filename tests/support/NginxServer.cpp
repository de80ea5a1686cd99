#include "NginxServer.h"

#include <QFile>

QString TNginxServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

bool TNginxServer::command(quint16 port, QString& program, QStringList& arguments) {
    const QString work = workPath();
    // Every path nginx would otherwise take from its build (/var/lib/nginx, /run) is
    // redirected, so it runs without root and leaves nothing behind.
    const QString config = QStringLiteral("daemon off;\n"
                                          "master_process off;\n"
                                          "pid %1/nginx.pid;\n"
                                          "error_log stderr;\n"
                                          "events { worker_connections 64; }\n"
                                          "http {\n"
                                          "  access_log off;\n"
                                          "  default_type application/octet-stream;\n"
                                          "  keepalive_timeout 65;\n"
                                          "  client_body_temp_path %1/body;\n"
                                          "  proxy_temp_path %1/proxy;\n"
                                          "  fastcgi_temp_path %1/fastcgi;\n"
                                          "  uwsgi_temp_path %1/uwsgi;\n"
                                          "  scgi_temp_path %1/scgi;\n"
                                          "  server {\n"
                                          "    listen 127.0.0.1:%2;\n"
                                          "    root %3;\n"
                                          "  }\n"
                                          "}\n")
                               .arg(work)
                               .arg(port)
                               .arg(rootPath());
    QFile file(work + QStringLiteral("/nginx.conf"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(config.toUtf8()) < 0) {
        setErrorText(QStringLiteral("cannot write ") + file.fileName());
        return false;
    }
    program = QString::fromLatin1(Program);
    arguments = {QStringLiteral("-p"), work,
                 QStringLiteral("-e"), QStringLiteral("stderr"),
                 QStringLiteral("-c"), file.fileName()};
    return true;
}
