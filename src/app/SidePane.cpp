#include "app/SidePane.h"

#include "views/MainCommands.h"
#include "views/widgets/CustomView.h"
#include "views/widgets/TreeCombo.h"

#include <QAction>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

TSidePane::TSidePane(const QString& name, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    Buttons_ = new QToolBar(this);
    Buttons_->setIconSize(QSize(16, 16));
    Buttons_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    Tree_ = new TTreeCombo(this);
    Tree_->setObjectName(name + QStringLiteral("Tree"));
    Tree_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    Tabs_ = new QTabBar(this);
    Tabs_->setObjectName(name + QStringLiteral("Tabs"));
    Tabs_->setExpanding(false);
    Tabs_->setDocumentMode(true);
    Stack_ = new QStackedWidget(this);
    Strip_ = new QToolBar(this);
    Strip_->setOrientation(Qt::Vertical);
    Strip_->setIconSize(QSize(16, 16));

    auto* top = new QHBoxLayout;
    top->setSpacing(2);
    top->addWidget(Buttons_);
    top->addWidget(Tree_, 1);
    auto* body = new QHBoxLayout;
    body->setSpacing(0);
    body->addWidget(Stack_, 1);
    body->addWidget(Strip_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(top);
    layout->addWidget(Tabs_);
    layout->addLayout(body, 1);

    connect(Tabs_, &QTabBar::currentChanged, this, [this](int index) {
        if (TCustomView* view = View(index)) Stack_->setCurrentWidget(view);
        Q_EMIT CurrentChanged(index);
    });
}

void TSidePane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A tab bar given its tabs while hidden keeps the height of an empty one until asked
    // to measure again.
    Tabs_->updateGeometry();
}

void TSidePane::AddButton(QAction* action) {
    Buttons_->addAction(action);
}

void TSidePane::AddStripAction(QAction* action) {
    Strip_->addAction(action);
}

QToolButton* TSidePane::AddMenuButton(QAction* action) {
    Buttons_->addAction(action);
    auto* button = qobject_cast<QToolButton*>(Buttons_->widgetForAction(action));
    if (button) button->setPopupMode(QToolButton::MenuButtonPopup);
    return button;
}

void TSidePane::SetViewActions(const QList<QAction*>& actions) {
    ViewActions_ = actions;
    for (QAction* action : actions)
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    for (TCustomView* view : Views_)
        view->addActions(actions);
}

int TSidePane::AddView(TCustomView* view, const QString& caption) {
    view->addActions(ViewActions_);
    Views_.append(view);
    Captions_.append(caption);
    Stack_->addWidget(view);
    // The tab is added last: adding the first tab makes it current at once, and the
    // handlers of that change look the view up.
    const QSignalBlocker block(Tabs_);
    const int index = Tabs_->addTab(MnemonicSafe(caption));
    return index;
}

void TSidePane::TakeView(int index) {
    if (index < 0 || index >= Count()) return;
    TCustomView* view = Views_.takeAt(index);
    Captions_.removeAt(index);
    Stack_->removeWidget(view);
    const QSignalBlocker block(Tabs_);
    Tabs_->removeTab(index);
}

int TSidePane::IndexOf(const TCustomView* view) const {
    return static_cast<int>(Views_.indexOf(const_cast<TCustomView*>(view)));
}

int TSidePane::CurrentIndex() const {
    return Tabs_->currentIndex();
}

void TSidePane::SetCurrentIndex(int index) {
    if (index < 0 || index >= Count()) return;
    if (Tabs_->currentIndex() == index) {
        if (!CoverShown()) Stack_->setCurrentWidget(View(index));
        Q_EMIT CurrentChanged(index);
    } else {
        Tabs_->setCurrentIndex(index);
    }
}

void TSidePane::SetCaption(int index, const QString& caption) {
    if (index < 0 || index >= Count()) return;
    Captions_[index] = caption;
    Tabs_->setTabText(index, MnemonicSafe(caption));
}

QString TSidePane::Caption(int index) const {
    return Captions_.value(index);
}

void TSidePane::SetCover(QWidget* cover) {
    Cover_ = cover;
    Stack_->addWidget(cover);
}

void TSidePane::ShowCover(bool shown) {
    if (!Cover_) return;
    if (shown)
        Stack_->setCurrentWidget(Cover_);
    else if (TCustomView* view = CurrentView())
        Stack_->setCurrentWidget(view);
}

bool TSidePane::CoverShown() const {
    return Cover_ && Stack_->currentWidget() == Cover_;
}

namespace {

class TStripHandle : public QSplitterHandle {
public:
    TStripHandle(QAction* upload, QAction* download, QSplitter* parent)
        : QSplitterHandle(Qt::Horizontal, parent) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(2, 0, 2, 0);
        layout->addStretch(1);
        for (QAction* action : {upload, download}) {
            auto* button = new QToolButton(this);
            button->setDefaultAction(action);
            button->setToolButtonStyle(Qt::ToolButtonIconOnly);
            button->setIconSize(QSize(24, 24));
            layout->addWidget(button);
        }
        layout->addStretch(1);
    }
    QSize sizeHint() const override { return QSize(36, QSplitterHandle::sizeHint().height()); }
};

} // namespace

TMiddleSplitter::TMiddleSplitter(QAction* upload, QAction* download, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent), Upload_(upload), Download_(download) {
    setChildrenCollapsible(false);
    setHandleWidth(36);
}

QSplitterHandle* TMiddleSplitter::createHandle() {
    return new TStripHandle(Upload_, Download_, this);
}
