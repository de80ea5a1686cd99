// The main window as another program's remote file dialog: the dialog strip with its
// accept and cancel buttons, the file-name field, and the layout without menu, toolbar,
// log, status bar and local pane.
#include "app/MainWindow.h"
#include "app/SidePane.h"
#include "automation/AutomationState.h"
#include "views/widgets/HostView.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>

void TfrmMain::SetAutomationDialog(TAutomationState* state) {
    if (Dialog_ || !state) return;
    Dialog_ = state;
    menuBar()->hide();
    ToggleMaximizeHost(true);
    Toolbar_->hide();
    DragBar_->hide();
    TopPanel_->hide();
    Vertical_->handle(1)->hide();
    statusBar()->hide();
    Actions_.Server.NewView->setVisible(false);
    Actions_.Server.CloseView->setVisible(false);
    BuildDialogStrip();
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    StoredState_ = wsNormal;
    resize(600, 400);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    ApplyDialogAction();
}

void TfrmMain::BuildDialogStrip() {
    DialogStrip_ = new QWidget(centralWidget());
    DialogStrip_->setObjectName(QStringLiteral("DialogStrip"));
    auto* grid = new QGridLayout(DialogStrip_);
    grid->setContentsMargins(6, 6, 6, 6);
    FileNameEdit_ = new QLineEdit(DialogStrip_);
    FileNameEdit_->setObjectName(QStringLiteral("editFileName"));
    FileTypes_ = new QComboBox(DialogStrip_);
    FileTypes_->setObjectName(QStringLiteral("cmboFileTypes"));
    FileTypes_->addItem(QStringLiteral("All Files (*.*)"), QString());
    auto* nameLabel = new QLabel(QStringLiteral("File &Name :"), DialogStrip_);
    nameLabel->setBuddy(FileNameEdit_);
    auto* typesLabel = new QLabel(QStringLiteral("File &Types:"), DialogStrip_);
    typesLabel->setBuddy(FileTypes_);
    AcceptButton_ = new QPushButton(QStringLiteral("Open"), DialogStrip_);
    AcceptButton_->setObjectName(QStringLiteral("btnAccept"));
    AcceptButton_->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), DialogStrip_);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(FileNameEdit_, 0, 1);
    grid->addWidget(AcceptButton_, 0, 2);
    grid->addWidget(typesLabel, 1, 0);
    grid->addWidget(FileTypes_, 1, 1);
    grid->addWidget(cancel, 1, 2);
    grid->setColumnStretch(1, 1);
    centralWidget()->layout()->addWidget(DialogStrip_);
    connect(AcceptButton_, &QPushButton::clicked, this, &TfrmMain::AcceptDialog);
    connect(cancel, &QPushButton::clicked, this, [this] {
        if (AutomationHooks.Cancelled) AutomationHooks.Cancelled();
    });
}

void TfrmMain::ApplyDialogAction() {
    if (!Dialog_) return;
    const TDialogAction action = Dialog_->DialogAction;
    AcceptButton_->setText(action == daOpen ? QStringLiteral("Open") : QStringLiteral("Save"));
    for (int i = 0; i < HostPane_->Count(); ++i) {
        HostPane_->View(i)->SetMultiSelection(action != daSaveAs);
        if (auto* view = qobject_cast<THostView*>(HostPane_->View(i)))
            view->UploadsFilesOnly = true;
    }
    const bool readOnly = action == daSave;
    FileNameEdit_->setReadOnly(readOnly);
    QPalette palette = FileNameEdit_->palette();
    palette.setColor(QPalette::Base, QGuiApplication::palette().color(readOnly ? QPalette::Button
                                                                               : QPalette::Base));
    FileNameEdit_->setPalette(palette);
    RefillFileName();
}

void TfrmMain::ShowSaveAsName() {
    if (!Dialog_ || Dialog_->DialogAction != daSaveAs) return;
    if (THostView* view = CurrentHostView()) view->SelectRows({});
    FileNameEdit_->setText(Dialog_->SaveAsFileName);
}

QString TfrmMain::FileNameText() const {
    return FileNameEdit_ ? FileNameEdit_->text() : QString();
}

void TfrmMain::RefillFileName() {
    if (!Dialog_) return;
    QStringList names;
    if (Dialog_->DialogAction == daSave && Dialog_->SaveList) {
        names = *Dialog_->SaveList;
    } else if (THostView* view = CurrentHostView()) {
        for (int row : view->SelectedRows())
            if (!view->IsFolder(row)) names << view->ItemName(row);
    }
    // A name typed for "save as" stays until a file is picked to be replaced.
    if (Dialog_->DialogAction == daSaveAs && names.isEmpty()) return;
    FileNameEdit_->setText(FileNameFieldText(names));
}

void TfrmMain::AcceptDialog() {
    if (THostView* view = CurrentHostView()) {
        QList<int> files;
        for (int row : view->SelectedRows())
            if (!view->IsFolder(row)) files << row;
        if (files.size() != view->SelectedCount()) view->SelectRows(files);
    }
    if (Dialog_->DialogAction == daSaveAs) Dialog_->SaveAsFileName = FileNameEdit_->text();
    if (AutomationHooks.Accepted) AutomationHooks.Accepted();
}
