#include "app/Help.h"

#include "platform/ProgramFolder.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr char HelpContextProperty[] = "tolvarHelpContext";

QString TopicPath(int context) {
    const QString folder = HelpFolder();
    const QString page = QDir(folder).filePath(QStringLiteral("%1.html").arg(context));
    if (QFileInfo::exists(page)) return page;
    return QDir(folder).filePath(QStringLiteral("%1.html").arg(int(hcContents)));
}

class THelpWindow : public QDialog {
public:
    explicit THelpWindow(QWidget* owner) : QDialog(owner) {
        // Beside its owner, never modal itself: the owner stays usable while help is open.
        setWindowModality(Qt::NonModal);
        setWindowTitle(QStringLiteral("Tolvar Help"));
        setAttribute(Qt::WA_DeleteOnClose);
        Browser_ = new QTextBrowser(this);
        Browser_->setOpenExternalLinks(true);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(Browser_);
        resize(560, 480);
    }
    void Show(int context) {
        Browser_->setSource(QUrl::fromLocalFile(TopicPath(context)));
        show();
        raise();
        activateWindow();
    }

private:
    QTextBrowser* Browser_;
};

QPointer<THelpWindow> Window;

class THelpKeyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress ||
            static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1 ||
            static_cast<QKeyEvent*>(event)->modifiers() != Qt::NoModifier)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget) return false;
        int context = hcContents;
        for (QWidget* w = widget; w; w = w->parentWidget()) {
            const QVariant value = w->property(HelpContextProperty);
            if (value.isValid()) {
                context = value.toInt();
                break;
            }
        }
        ShowHelpTopic(context, widget->window());
        return true;
    }
};

} // namespace

QString HelpFolder() {
    const QString besideProgram =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("help"));
    if (QFileInfo::exists(besideProgram)) return besideProgram;
    const QString installed = QDir(QCoreApplication::applicationDirPath())
                                  .filePath(QStringLiteral("../share/tolvar/help"));
    if (QFileInfo::exists(installed)) return QDir::cleanPath(installed);
    return QStringLiteral(TOLVAR_SOURCE_HELP_DIR);
}

void SetHelpContext(QWidget* window, int context) {
    window->setProperty(HelpContextProperty, context);
}

void ShowHelpTopic(int context, QWidget* parent) {
    // A modal window blocks every window but its own children: help asked for from it
    // (F1 in the options) belongs to it, or it would open behind it, out of reach.
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner && parent && parent->window()->isModal()) owner = parent->window();
    if (Window && Window->parentWidget() != owner) {
        const QRect bounds = Window->geometry();
        Window->setParent(owner, Window->windowFlags());
        Window->setGeometry(bounds);
    }
    if (!Window) {
        Window = new THelpWindow(owner);
        if (owner) Window->move(owner->geometry().center() - Window->rect().center());
    }
    Window->Show(context);
}

void InstallHelpKey() {
    static bool installed = false;
    if (installed || !qApp) return;
    installed = true;
    qApp->installEventFilter(new THelpKeyFilter(qApp));
}
