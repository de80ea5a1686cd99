// The "General", "Advanced" and "Connection" pages of the options window.
#include "settings/windows/OptionsWindow.h"

#include "platform/ProgramFolder.h"
#include "views/ViewQuestions.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// A log name typed without a folder lies in the program folder; a path is kept.
QString LogPathFromText(const QString& text) {
    const QString name = text.trimmed();
    if (name.isEmpty()) return DefaultLogFilePath();
    return QDir::cleanPath(QDir(ProgramFolder()).filePath(name));
}

// The log's name alone while it lies in the program folder, else its whole path.
QString LogDisplayText(const QString& path) {
    const QFileInfo info(path);
    if (QDir::cleanPath(info.absolutePath()) == QDir::cleanPath(ProgramFolder()))
        return info.fileName();
    return path;
}

QPushButton* MakeBrowse(const QString& name) {
    auto* button = new QPushButton(QStringLiteral("Browse..."));
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QLineEdit* MakeEdit(const QString& name, int maxLength) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setMaxLength(maxLength);
    return edit;
}

// A number field holding no valid integer (left empty while typing) gives the default.
int SpinValue(const QSpinBox* spin, int def) {
    bool ok = false;
    spin->cleanText().toInt(&ok);
    return ok ? spin->value() : def;
}

void Check(QButtonGroup* group, int id) {
    if (QAbstractButton* button = group->button(id)) button->setChecked(true);
}

} // namespace

QWidget* TfrmOptions::MakeGeneralPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsGeneral"));
    EditEMail_ = MakeEdit(QStringLiteral("editEMail"), 256);
    EditEMail_->setWhatsThis(
        QStringLiteral("Your e-mail address: the password of anonymous logins."));
    EditViewer_ = MakeEdit(QStringLiteral("editViewer"), 512);
    EditViewer_->setWhatsThis(QStringLiteral(
        "The program that shows and edits text files. Choose it with \"Browse...\"."));
    EditLogFile_ = MakeEdit(QStringLiteral("editLogFile"), 512);
    EditLogFile_->setWhatsThis(QStringLiteral(
        "The file the log is saved to. A name without a folder lies in the program's folder."));
    EditDefaultDir_ = MakeEdit(QStringLiteral("editDefaultDir"), 512);
    EditDefaultDir_->setWhatsThis(QStringLiteral(
        "The local folder shown at start; empty means the folder the program was started in."));
    auto* browseViewer = MakeBrowse(QStringLiteral("btnBrowseViewer"));
    auto* browseLog = MakeBrowse(QStringLiteral("btnBrowseLogFile"));
    auto* browseDir = MakeBrowse(QStringLiteral("btnBrowseDefaultDir"));
    connect(browseViewer, &QPushButton::clicked, this, &TfrmOptions::BrowseViewer);
    connect(browseLog, &QPushButton::clicked, this, &TfrmOptions::BrowseLogFile);
    connect(browseDir, &QPushButton::clicked, this, &TfrmOptions::BrowseDefaultDir);
    connect(EditLogFile_, &QLineEdit::textEdited, this, &TfrmOptions::LogFileEdited);
    ChkLogToFile_ = MakeCheck(QStringLiteral("Description of all actions in a log file"),
                              QStringLiteral("chkLogToFile"));
    ChkShowToolTips_ =
        MakeCheck(QStringLiteral("Show Tool Tips"), QStringLiteral("chkShowToolTips"));

    auto* grid = new QGridLayout(page);
    const std::tuple<QString, QLineEdit*, QPushButton*> rows[] = {
        {QStringLiteral("EMail Address:"), EditEMail_, nullptr},
        {QStringLiteral("Text Viewer:"), EditViewer_, browseViewer},
        {QStringLiteral("Log Filename:"), EditLogFile_, browseLog},
        {QStringLiteral("Default Directory:"), EditDefaultDir_, browseDir},
    };
    int row = 0;
    for (const auto& [caption, edit, button] : rows) {
        auto* label = new QLabel(caption);
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        if (button) grid->addWidget(button, row, 2);
        ++row;
    }
    grid->addWidget(ChkLogToFile_, row++, 0, 1, 3);
    grid->addWidget(ChkShowToolTips_, row++, 0, 1, 3);
    grid->setRowStretch(row, 1);
    grid->setColumnMinimumWidth(1, 260);
    return page;
}

QWidget* TfrmOptions::MakeAdvancedPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsAdvanced"));
    ChkNoXferOlder_ = MakeCheck(QStringLiteral("Don't transfer older or same-aged files"),
                                QStringLiteral("chkNoXferOlder"));
    ChkASCIIOnView_ =
        MakeCheck(QStringLiteral("Transfer ASCII on view"), QStringLiteral("chkASCIIOnView"));
    ChkPreserveTimeStamp_ = MakeCheck(QStringLiteral("Preserve date and time on downloaded files"),
                                      QStringLiteral("chkPreserveTimeStamp"));
    ChkConfirmOverwrites_ = MakeCheck(QStringLiteral("Confirm file overwrites"),
                                      QStringLiteral("chkConfirmOverwrites"));
    ChkConfirmRestarts_ =
        MakeCheck(QStringLiteral("Confirm recoveries"), QStringLiteral("chkConfirmRestarts"));
    ChkListHidden_ =
        MakeCheck(QStringLiteral("List hidden files"), QStringLiteral("chkListHidden"));

    auto* checks = new QVBoxLayout;
    for (QCheckBox* check : {ChkNoXferOlder_, ChkASCIIOnView_, ChkPreserveTimeStamp_,
                             ChkConfirmOverwrites_, ChkConfirmRestarts_, ChkListHidden_})
        checks->addWidget(check);
    checks->addWidget(MakeRadioGroup(
        QStringLiteral(" Type of recoveries for failed transfers "), QStringLiteral("TryToResume"),
        {QStringLiteral("None"), QStringLiteral("Binary files"), QStringLiteral("All files")},
        RgTryToResume_));
    checks->addStretch(1);
    auto* clicks = new QVBoxLayout;
    clicks->addWidget(MakeRadioGroup(QStringLiteral(" Double click action (local) "),
                                     QStringLiteral("LocalDblClk"),
                                     {QStringLiteral("&Properties"), QStringLiteral("&View"),
                                      QStringLiteral("&Upload"), QStringLiteral("&Open")},
                                     RgLocalDblClk_));
    clicks->addWidget(MakeRadioGroup(QStringLiteral(" Double click action (host) "),
                                     QStringLiteral("HostDblClk"),
                                     {QStringLiteral("P&roperties"), QStringLiteral("V&iew"),
                                      QStringLiteral("&Download"), QStringLiteral("O&pen")},
                                     RgHostDblClk_));
    clicks->addStretch(1);
    auto* layout = new QHBoxLayout(page);
    layout->addLayout(checks);
    layout->addLayout(clicks);
    return page;
}

QWidget* TfrmOptions::MakeConnectionPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsConnection"));
    ChkShowManager_ = MakeCheck(QStringLiteral("View the session manager on startup"),
                                QStringLiteral("chkShowManager"));
    ChkPromptForPass_ = MakeCheck(QStringLiteral("Ask for password if none is specified"),
                                  QStringLiteral("chkPromptForPass"));
    ChkKeepAlive_ =
        MakeCheck(QStringLiteral("Stay connected with the server"), QStringLiteral("chkKeepAlive"));
    ChkUsePASV_ = MakeCheck(QStringLiteral("Use passive mode (PASV) for transfers"),
                            QStringLiteral("chkUsePASV"));
    ChkUsePASV_->setWhatsThis(QStringLiteral(
        "Transfers open their data connection to the server, which passes most firewalls."));
    ChkQuickDisconnect_ =
        MakeCheck(QStringLiteral("Quick disconnects"), QStringLiteral("chkQuickDisconnect"));
    ChkSingleConnections_ = MakeCheck(QStringLiteral("Single Connections Only"),
                                      QStringLiteral("chkSingleConnections"));

    SpinSimultaneous_ = MakeSpin(QStringLiteral("spinSimultaneous"), 1, MaxSimultaneous);
    SpinSimultaneous_->setWhatsThis(
        QStringLiteral("How many files of one server's queue move at once, each over its own "
                       "connection. Some servers allow only a few connections per user; the "
                       "queue goes on with those the server lets in. While \"Single "
                       "Connections Only\" is on, a host tab's transfers share its own "
                       "connection, one file at a time."));

    auto* retry = new QGroupBox;
    retry->setObjectName(QStringLiteral("gbRetry"));
    RgRetry_ = new QButtonGroup(this);
    RgRetry_->setObjectName(QStringLiteral("rgRetry"));
    auto* times = new QRadioButton(QStringLiteral("Try to reconnect"));
    times->setObjectName(QStringLiteral("rbRetryTimes"));
    auto* infinite = new QRadioButton(QStringLiteral("until connected"));
    infinite->setObjectName(QStringLiteral("rbRetryInfinite"));
    RgRetry_->addButton(times, 0);
    RgRetry_->addButton(infinite, 1);
    SpinRetries_ = MakeSpin(QStringLiteral("spinRetries"), 1, 1000);
    SpinRetries_->setWhatsThis(QStringLiteral("How many times a failed connection is tried."));
    SpinRetryDelay_ = MakeSpin(QStringLiteral("spinRetryDelay"), 0, 1000);
    SpinTimeout_ = MakeSpin(QStringLiteral("spinTimeout"), 1, 1000);
    SpinTimeout_->setWhatsThis(
        QStringLiteral("How long the program waits for the server before it gives up."));
    auto* grid = new QGridLayout(retry);
    grid->addWidget(times, 0, 0);
    grid->addWidget(SpinRetries_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("times")), 0, 2);
    grid->addWidget(infinite, 1, 0, 1, 3);
    grid->addWidget(SpinRetryDelay_, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("seconds delay between connection attempts.")), 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("Timeout after")), 3, 0);
    grid->addWidget(SpinTimeout_, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("seconds")), 3, 2);
    grid->setColumnStretch(3, 1);

    auto* checks = new QVBoxLayout;
    for (QCheckBox* check : {ChkShowManager_, ChkPromptForPass_, ChkKeepAlive_, ChkUsePASV_,
                             ChkQuickDisconnect_, ChkSingleConnections_})
        checks->addWidget(check);
    auto* simultaneous = new QHBoxLayout;
    auto* simultaneousLabel = new QLabel(QStringLiteral("Simultaneous &transfers per server"));
    simultaneousLabel->setBuddy(SpinSimultaneous_);
    simultaneous->addWidget(simultaneousLabel);
    simultaneous->addWidget(SpinSimultaneous_);
    simultaneous->addStretch(1);
    checks->addLayout(simultaneous);
    checks->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addLayout(checks, 1);
    top->addWidget(MakeRadioGroup(
        QStringLiteral("Default transfer mode"), QStringLiteral("TransferMode"),
        {QStringLiteral("A&uto"), QStringLiteral("ASC&II"), QStringLiteral("&Binary"),
         QStringLiteral("&EBCDIC"), QStringLiteral("&Local")},
        RgTransferMode_));
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addWidget(retry);
    layout->addStretch(1);
    return page;
}

void TfrmOptions::LoadGeneralPages() {
    const TSettings& s = Settings_;
    EditEMail_->setText(s.EMail);
    ViewerPath_ = s.Viewer;
    EditViewer_->setText(QFileInfo(s.Viewer).fileName());
    LogPath_ = s.LogFile;
    EditLogFile_->setText(LogDisplayText(s.LogFile));
    EditDefaultDir_->setText(s.DefaultDir);
    ChkLogToFile_->setChecked(s.LogToFile);
    ChkShowToolTips_->setChecked(s.ShowToolTips);

    ChkNoXferOlder_->setChecked(s.NoXferOlder);
    ChkASCIIOnView_->setChecked(s.ASCIIOnView);
    ChkPreserveTimeStamp_->setChecked(s.PreserveTimeStamp);
    ChkConfirmOverwrites_->setChecked(s.ConfirmOverwrites);
    ChkConfirmRestarts_->setChecked(s.ConfirmRestarts);
    ChkListHidden_->setChecked(s.ListHidden);
    Check(RgTryToResume_, s.TryToResume);
    Check(RgLocalDblClk_, s.LocalDblClk);
    Check(RgHostDblClk_, s.HostDblClk);

    ChkShowManager_->setChecked(s.ShowManager);
    ChkPromptForPass_->setChecked(s.PromptForPass);
    ChkKeepAlive_->setChecked(s.KeepAlive);
    ChkUsePASV_->setChecked(s.UsePASV);
    ChkQuickDisconnect_->setChecked(s.QuickDisconnect);
    ChkSingleConnections_->setChecked(s.SingleConnectionsOnly);
    SpinSimultaneous_->setValue(std::clamp(s.SimultaneousTransfers, 1, MaxSimultaneous));
    Check(RgRetry_, s.InfiniteRetry ? 1 : 0);
    SpinRetries_->setValue(s.Retries);
    SpinRetryDelay_->setValue(s.RetryDelay);
    SpinTimeout_->setValue(s.Timeout);
    Check(RgTransferMode_, s.TransferMode);
}

void TfrmOptions::SaveGeneralPages(TSettings& s) const {
    s.EMail = EditEMail_->text();
    s.Viewer = ViewerPath_;
    s.LogFile = LogPath_;
    s.DefaultDir = EditDefaultDir_->text();
    s.LogToFile = ChkLogToFile_->isChecked();
    s.ShowToolTips = ChkShowToolTips_->isChecked();

    s.NoXferOlder = ChkNoXferOlder_->isChecked();
    s.ASCIIOnView = ChkASCIIOnView_->isChecked();
    s.PreserveTimeStamp = ChkPreserveTimeStamp_->isChecked();
    s.ConfirmOverwrites = ChkConfirmOverwrites_->isChecked();
    s.ConfirmRestarts = ChkConfirmRestarts_->isChecked();
    s.ListHidden = ChkListHidden_->isChecked();
    s.TryToResume = RgTryToResume_->checkedId() >= 0 ? RgTryToResume_->checkedId() : 1;
    s.LocalDblClk = RgLocalDblClk_->checkedId() >= 0 ? RgLocalDblClk_->checkedId() : 3;
    s.HostDblClk = RgHostDblClk_->checkedId() >= 0 ? RgHostDblClk_->checkedId() : 2;

    s.ShowManager = ChkShowManager_->isChecked();
    s.PromptForPass = ChkPromptForPass_->isChecked();
    s.KeepAlive = ChkKeepAlive_->isChecked();
    s.UsePASV = ChkUsePASV_->isChecked();
    s.QuickDisconnect = ChkQuickDisconnect_->isChecked();
    s.SingleConnectionsOnly = ChkSingleConnections_->isChecked();
    s.SimultaneousTransfers = SpinValue(SpinSimultaneous_, 1);
    s.InfiniteRetry = RgRetry_->checkedId() == 1;
    s.RetryDelay = SpinValue(SpinRetryDelay_, 5);
    s.Retries = SpinValue(SpinRetries_, 3);
    s.Timeout = SpinValue(SpinTimeout_, 120);
    s.TransferMode = RgTransferMode_->checkedId() >= 0 ? RgTransferMode_->checkedId() : 0;
}

void TfrmOptions::BrowseViewer() {
    const QString chosen = Questions()->PickFile(QStringLiteral("Select Text Viewer"), ViewerPath_,
                                                 QStringLiteral("All Files (*)"), false);
    if (chosen.isEmpty()) return;
    ViewerPath_ = chosen;
    EditViewer_->setText(QFileInfo(chosen).fileName());
}

void TfrmOptions::BrowseLogFile() {
    const QString chosen = Questions()->PickFile(QStringLiteral("Log Filename"), LogPath_,
                                                 QStringLiteral("All Files (*)"), true);
    if (chosen.isEmpty()) return;
    LogPath_ = chosen;
    EditLogFile_->setText(LogDisplayText(chosen));
}

void TfrmOptions::BrowseDefaultDir() {
    const QString chosen =
        Questions()->PickFolder(QStringLiteral("Default Directory"), EditDefaultDir_->text());
    if (!chosen.isEmpty()) EditDefaultDir_->setText(chosen);
}

void TfrmOptions::LogFileEdited(const QString& text) {
    LogPath_ = LogPathFromText(text);
}
