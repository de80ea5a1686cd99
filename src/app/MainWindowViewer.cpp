// The internal viewer: shown in the log's place, it previews the selected file of either
// pane as the selection moves.
#include "app/Help.h"
#include "app/LogPane.h"
#include "app/MainWindow.h"
#include "app/SidePane.h"
#include "transfer/TransferItem.h"
#include "transfer/TransferItemsList.h"
#include "transfer/windows/BusyAnimation.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"
#include "views/widgets/Viewer.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QSplitter>
#include <QStackedWidget>

namespace {

// A preview is fetched and read whole: a huge file is left alone rather than copied from
// the server for a glance at it.
constexpr int64_t PreviewLimit = int64_t(32) << 20;

// The location the viewer previews for the view's selected entry: its URL on a server,
// the file itself here; nothing for a folder, a missing file or a kind the viewer
// does not show, or too large to preview.
QUrl PreviewAddress(TCustomView* view) {
    const QList<int> rows = view ? view->SelectedRows() : QList<int>();
    if (rows.isEmpty() || view->IsFolder(rows.first())) return QUrl();
    const int row = rows.first();
    if (view->ItemSize(row) > PreviewLimit) return QUrl();
    if (auto* host = qobject_cast<THostView*>(view)) {
        const QUrl url(host->ItemURL(row));
        return ViewerKind(url.fileName()) == TViewerKind::None ? QUrl() : url;
    }
    const QString path = view->ItemPath(row);
    if (ViewerKind(path) == TViewerKind::None || !QFileInfo(path).isFile()) return QUrl();
    return QUrl::fromLocalFile(path);
}

TViewerFetch::TLogin LoginFor(TCustomView* view) {
    auto* host = qobject_cast<THostView*>(view);
    return host ? TViewerFetch::LoginOf(host->Browser()) : TViewerFetch::TLogin();
}

} // namespace

void TfrmMain::EnsureViewer() {
    if (Viewer_) return;
    Viewer_ = new TViewer;
    Viewer_->setMinimumHeight(1);
    Viewer_->setWhatsThis(QStringLiteral(
        "The internal viewer: the page, picture or text file selected in either pane."));
    TopPanel_->addWidget(Viewer_);
    connect(Viewer_, &TViewer::LoadingChanged, this, &TfrmMain::ViewerLoading);
}

void TfrmMain::ToggleViewer(bool shown) {
    EnsureViewer();
    if (!shown) {
        Viewer_->Stop();
        TopPanel_->setCurrentWidget(Log_);
        SetLogHeight(HeightBeforeViewer_);
        return;
    }
    HeightBeforeViewer_ = Vertical_->sizes().value(0);
    TopPanel_->setCurrentWidget(Viewer_);
    // A page needs more room than a few log lines.
    SetLogHeight(std::max(HeightBeforeViewer_, Vertical_->height() * 2 / 5));
    QWidget* focus = QApplication::focusWidget();
    TCustomView* view = focus && HostPane_->isAncestorOf(focus)
                            ? static_cast<TCustomView*>(CurrentHostView())
                            : CurrentLocalView();
    QUrl url = PreviewAddress(view);
    if (!url.isValid()) {
        view = nullptr;
        url = QUrl::fromLocalFile(QDir(HelpFolder()).filePath(QStringLiteral("welcome.html")));
    }
    Viewer_->Navigate(url, LoginFor(view));
}

void TfrmMain::WatchSelection(TCustomView* view) {
    connect(view->ListView()->selectionModel(), &QItemSelectionModel::selectionChanged, view,
            [this, view] { PreviewSelection(view); });
}

void TfrmMain::PreviewSelection(TCustomView* view) {
    if (!Viewer_ || !Actions_.ShowViewer->isChecked() || Viewer_->Loading()) return;
    if (view != CurrentHostView() && view != CurrentLocalView()) return;
    const QUrl url = PreviewAddress(view);
    if (url.isValid()) Viewer_->Navigate(url, LoginFor(view));
}

void TfrmMain::ShowInViewer(const QUrl& url) {
    EnsureViewer();
    Actions_.ShowViewer->setChecked(true);
    Viewer_->Navigate(url);
}

void TfrmMain::StopViewer() {
    if (Viewer_ && Viewer_->Loading()) Viewer_->Stop();
}

void TfrmMain::ViewerLoading(bool loading) {
    // While the status bar's middle panel reports something, the animation is its own.
    if (loading) {
        if (StatusPanels_[1]->text().isEmpty()) Activity_->Start();
    } else if (TransferItemsList().StateCount(isBusy) == 0 &&
               TransferItemsList().StateCount(isPending) == 0) {
        Activity_->Stop();
    }
}
