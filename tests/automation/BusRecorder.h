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

class TBusRecorder : public QObject {
    Q_OBJECT
public:
    explicit TBusRecorder(QDBusConnection bus) {
        for (const char* name :
             {"OnConnected", "OnDisconnected", "OnLoggedIn", "OnCantLogin", "OnItemCompleted",
              "OnAllItemsCompleted", "OnProgress", "OnCancel", "OnAccept", "OnItemFinished"})
            bus.connect(QString(), kPath, QStringLiteral("com.kelvenar.Marrowby.IWexmartenEvents"),
                        QString::fromLatin1(name), this, SLOT(Take(QDBusMessage)));
    }
    int Count(const QString& name) const {
        int count = 0;
        for (const QDBusMessage& m : Heard)
            count += m.member() == name;
        return count;
    }
    QVariantList Last(const QString& name) const {
        for (auto it = Heard.rbegin(); it != Heard.rend(); ++it)
            if (it->member() == name) return it->arguments();
        return {};
    }
    QList<QDBusMessage> Heard;

public Q_SLOTS:
    void Take(const QDBusMessage& message) { Heard.append(message); }
};
