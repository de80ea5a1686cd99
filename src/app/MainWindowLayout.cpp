// The main window's toolbar and the layout of its panes.
#include "app/LogPane.h"
#include "app/MainWindow.h"
#include "app/SidePane.h"
#include "transfer/windows/BusyAnimation.h"
#include "views/ViewQuestions.h"
#include "views/widgets/HostView.h"
#include "views/widgets/TreeCombo.h"

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The bar under the toolbar: dragging it switches the toolbar between its sizes.
class TDragBar : public QWidget {
public:
    TDragBar(std::function<bool()> large, std::function<void(bool)> setLarge, QWidget* parent)
        : QWidget(parent), Large_(std::move(large)), SetLarge_(std::move(setLarge)) {
        setFixedHeight(3);
        setCursor(Qt::SizeVerCursor);
        setObjectName(QStringLiteral("DragBar"));
    }

protected:
    void mousePressEvent(QMouseEvent* event) override { Start_ = event->globalPosition().y(); }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (!(event->buttons() & Qt::LeftButton)) return;
        const int toolbar = Large_() ? 62 : 34;
        const int height = toolbar + int(event->globalPosition().y() - Start_);
        if (Large_() && height < 34)
            SetLarge_(false);
        else if (!Large_() && height >= 63)
            SetLarge_(true);
        else
            return;
        Start_ = event->globalPosition().y();
    }

private:
    std::function<bool()> Large_;
    std::function<void(bool)> SetLarge_;
    qreal Start_ = 0;
};

} // namespace

void TfrmMain::BuildToolbar() {
    Toolbar_ = new QToolBar(this);
    Toolbar_->setObjectName(QStringLiteral("Toolbar"));
    Toolbar_->setMovable(false);
    const TMainActions& a = Actions_;
    Toolbar_->addActions({a.Connect, a.ConnectURL, a.Stop, a.Disconnect, a.TransferManager,
                          a.MaximizeHost, a.ShowLog, a.ShowViewer});
    auto* spacer = new QWidget(Toolbar_);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    Toolbar_->addWidget(spacer);
    Activity_ = new TBusyAnimation(Toolbar_);
    Activity_->setObjectName(QStringLiteral("Activity"));
    Activity_->setFixedSize(90, 28);
    Activity_->setToolTip(QStringLiteral("Activity"));
    Toolbar_->addWidget(Activity_);
    SetToolbarLarge(false);
}

void TfrmMain::SetToolbarLarge(bool large) {
    ToolbarLarge_ = large;
    // Large buttons carry their hint as a caption and show no tip.
    Toolbar_->setToolButtonStyle(large ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
    Toolbar_->setIconSize(large ? QSize(32, 32) : QSize(22, 22));
    Toolbar_->setFixedHeight(large ? 62 : 34);
    Activity_->setFixedHeight(large ? 54 : 28);
}

void TfrmMain::BuildLayout() {
    Log_ = new TLogPane(this);
    Log_->SetQuestions(Questions_);
    Log_->LogFileName = [this] { return Settings_.LogFile; };
    // The splitter may squeeze it to any height; one with no room for a line is closed
    // (LogSplitterMoved).
    Log_->setMinimumHeight(1);
    Log_->setWhatsThis(
        QStringLiteral("The messages exchanged with the server of the current host tab."));
    auto* top = new QWidget(this);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->setSpacing(0);
    topLayout->addWidget(Toolbar_);
    DragBar_ =
        new TDragBar([this] { return ToolbarLarge_; }, [this](bool l) { SetToolbarLarge(l); }, top);
    topLayout->addWidget(DragBar_);

    BuildSidePanes();

    Middle_ = new TMiddleSplitter(Actions_.Upload, Actions_.Download);
    Middle_->setObjectName(QStringLiteral("MiddleStrip"));
    Middle_->addWidget(LocalPane_);
    Middle_->addWidget(HostPane_);
    LocalPane_->setMinimumWidth(120);
    HostPane_->setMinimumWidth(120);

    Vertical_ = new QSplitter(Qt::Vertical);
    Vertical_->setObjectName(QStringLiteral("LogSplitter"));
    Vertical_->setHandleWidth(4);
    // The panel above the panes holds the log, or the internal viewer in its place.
    TopPanel_ = new QStackedWidget;
    TopPanel_->setObjectName(QStringLiteral("TopPanel"));
    TopPanel_->setMinimumHeight(1);
    TopPanel_->addWidget(Log_);
    Vertical_->addWidget(TopPanel_);
    Vertical_->addWidget(Middle_);
    Vertical_->setStretchFactor(1, 1);
    Vertical_->setCollapsible(1, false);
    connect(Vertical_, &QSplitter::splitterMoved, this, &TfrmMain::LogSplitterMoved);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(top);
    layout->addWidget(Vertical_, 1);
    setCentralWidget(central);
    BuildStatusPanels();
}

void TfrmMain::BuildSidePanes() {
    LocalPane_ = new TSidePane(QStringLiteral("LocalPane"));
    HostPane_ = new TSidePane(QStringLiteral("HostPane"));
    LocalPane_->setWhatsThis(QStringLiteral("A folder of this computer. Each tab shows a folder; "
                                            "select files and press Upload, or drag "
                                            "them to the server's side."));
    HostPane_->setWhatsThis(QStringLiteral("A folder on a server. Each tab is a connection of its "
                                           "own; select files and press Download, "
                                           "or drag them to the local side."));
    LocalPane_->Tree()->setWhatsThis(
        QStringLiteral("The local folder shown and the folders above it."));
    HostPane_->Tree()->setWhatsThis(
        QStringLiteral("The server's folder shown and the folders visited."));
    FillPaneButtons(false);
    FillPaneButtons(true);
    HostPane_->Tree()->OnPathChosen = [this](const QString& path) {
        if (THostView* v = CurrentHostView()) v->ShowFolder(path);
    };
    BuildBusyPanel();
}

void TfrmMain::FillPaneButtons(bool host) {
    TSidePane* pane = host ? HostPane_ : LocalPane_;
    const TPaneActions& a = host ? Actions_.Server : Actions_.Local;
    for (QAction* action : {a.CloseView, a.NewView, a.Up})
        pane->AddButton(action);
    auto* styleMenu = new QMenu(this);
    styleMenu->addActions(a.Styles->actions());
    a.Views->setMenu(styleMenu);
    pane->AddMenuButton(a.Views);
    pane->AddButton(a.ChangeFolder);
    using TStrip = std::array<QAction*, 6>;
    const TStrip strip =
        host ? TStrip{a.Rename, a.Refresh, a.EditWith, a.Erase, a.Mask, a.NewFolder}
             : TStrip{a.EditWith, a.Rename, a.Erase, a.Mask, a.Refresh, a.NewFolder};
    auto* editMenu = new QMenu(this);
    editMenu->addActions({a.EditNotepad, a.EditPellion});
    connect(editMenu, &QMenu::aboutToShow, this, [this, host] { UpdateEditWith(host); });
    a.EditWith->setMenu(editMenu);
    for (QAction* action : strip)
        pane->AddStripAction(action);
    if (auto* button = qobject_cast<QToolButton*>(pane->Strip()->widgetForAction(a.EditWith)))
        button->setPopupMode(QToolButton::MenuButtonPopup);
    // The right mouse button on "File Mask" opens the quick masks under it.
    QWidget* maskButton = pane->Strip()->widgetForAction(a.Mask);
    maskButton->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(maskButton, &QWidget::customContextMenuRequested, this,
            [this, host, maskButton] { ShowQuickMasks(host, maskButton); });
    pane->SetViewActions({a.Refresh, a.Rename, a.Erase, a.Properties, a.Cut, a.Copy, a.Paste,
                          Actions_.SelectAll, Actions_.InvertSelection});
    connect(pane, &TSidePane::CurrentChanged, this,
            host ? &TfrmMain::HostTabChanged : &TfrmMain::LocalTabChanged);
}

void TfrmMain::BuildBusyPanel() {
    BusyPanel_ = new QWidget;
    BusyPanel_->setObjectName(QStringLiteral("BusyPanel"));
    auto* busyLayout = new QVBoxLayout(BusyPanel_);
    BusyAnimation_ = new TBusyAnimation(BusyPanel_);
    auto* busyText = new QLabel(QStringLiteral("Waiting for the server..."), BusyPanel_);
    busyText->setAlignment(Qt::AlignCenter);
    busyLayout->addStretch(1);
    busyLayout->addWidget(BusyAnimation_, 0, Qt::AlignCenter);
    busyLayout->addWidget(busyText);
    busyLayout->addStretch(1);
    HostPane_->SetCover(BusyPanel_);
}

void TfrmMain::BuildStatusPanels() {
    const int widths[] = {200, 300, 50};
    for (int i = 0; i < 3; ++i) {
        StatusPanels_[i] = new QLabel(this);
        StatusPanels_[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i + 1));
        StatusPanels_[i]->setMinimumWidth(widths[i]);
        statusBar()->addWidget(StatusPanels_[i], i == 1 ? 1 : 0);
    }
    StatusPanels_[2]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    StatusPanels_[2]->setObjectName(QStringLiteral("lblFailed"));
    StatusPanels_[2]->setStyleSheet(QStringLiteral("color: #c00000"));
}
