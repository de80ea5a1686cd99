#include "settings/windows/ApplicationHints.h"

#include "settings/EngineTargets.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>

namespace {

class THintFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        Q_UNUSED(watched);
        return event->type() == QEvent::ToolTip;
    }
};

QPointer<THintFilter> Filter;

} // namespace

void SetApplicationHints(bool on) {
    if (on) {
        delete Filter;
        return;
    }
    if (Filter || !qApp) return;
    Filter = new THintFilter(qApp);
    qApp->installEventFilter(Filter);
}

bool ApplicationHints() {
    return Filter.isNull();
}

TEngineTargets GuiEngineTargets() {
    TEngineTargets targets = EngineTargets();
    targets.SetShowHints = SetApplicationHints;
    return targets;
}
