#pragma once

// What both automation suites share: calls to the object that wait with the event loop
// running (so the object may live in the same process), and a recorder of its events.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QObject>

inline const QString kService = QStringLiteral("com.kelvenar.Marrowby");
inline const QString kPath = QStringLiteral("/Wexmarten");
inline const QString kMembers = QStringLiteral("com.kelvenar.Marrowby.IWexmarten");

inline QDBusMessage CallObject(const QDBusConnection& bus, const QString& method,
                               const QVariantList& arguments = {},
                               const QString& interface = kMembers) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, interface, method);
    call.setArguments(arguments);
    const QDBusPendingCall pending = bus.asyncCall(call, 20000);
    const QDeadlineTimer deadline(25000);
    while (!pending.isFinished() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return pending.reply();
}

// The reply's first value; invalid after an error.
inline QVariant CallValue(const QDBusConnection& bus, const QString& method,
                          const QVariantList& arguments = {}) {
    const QDBusMessage reply = CallObject(bus, method, arguments);
    return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0) : QVariant();
}

inline QDBusMessage SetProperty(const QDBusConnection& bus, const QString& name,
                                const QVariant& value) {
    return CallObject(bus, QStringLiteral("Set"),
                      {kMembers, name, QVariant::fromValue(QDBusVariant(value))},
                      QStringLiteral("org.freedesktop.DBus.Properties"));
}

// Every event of the object on a connection, by name; the latest first.
class TBusRecorder : public QObject {
    Q_OBJECT
public:
    explicit TBusRecorder(QDBusConnection bus) {
        bus.connect(QString(), kPath, QStringLiteral("com.kelvenar.Marrowby.IWexmartenEvents"),
                    QString(), this, SLOT(Take(QDBusMessage)));
    }
    int Count(const QString& name) const { return int(Heard.count(name)); }
    QVariantList Last(const QString& name) const { return Heard.value(name); }
    QMultiHash<QString, QVariantList> Heard;

public Q_SLOTS:
    void Take(const QDBusMessage& message) { Heard.insert(message.member(), message.arguments()); }
};
