// The main window's masks and folder compare: the mask window, the quick-mask menu and
// the compare of the current local and host lists.
#include "app/CompareOptionsWindow.h"
#include "app/MainWindow.h"
#include "app/MaskWindow.h"
#include "app/QuickMaskMenu.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"

#include <QPointer>

void TfrmMain::ShowMaskWindow(bool host) {
    TCustomView* view = PaneView(host);
    if (!view) return;
    QPointer<TfrmMask> dialog = new TfrmMask(view, this);
    dialog->exec();
    if (!dialog) return;
    // Whatever the answer, the mask is one to pick again later.
    QuickMasks_->Remember(dialog->Mask());
    delete dialog;
}

void TfrmMain::ShowQuickMasks(bool host, QWidget* button) {
    if (PaneView(host)) QuickMasks_->PopupUnder(button, host);
}

namespace {

// The entries a pane's list shows, and the source row of each.
QList<TCompareEntry> ShownEntries(const TCustomView& view, const QList<int>& rows) {
    QList<TCompareEntry> entries;
    entries.reserve(rows.size());
    for (int row : rows)
        entries.append({view.ItemName(row), view.ItemSize(row), view.ItemDate(row),
                        view.IsFolder(row) || view.IsLink(row)});
    return entries;
}

QList<int> SourceRows(const QList<int>& positions, const QList<int>& rows) {
    QList<int> source;
    source.reserve(positions.size());
    for (int at : positions)
        source.append(rows[at]);
    return source;
}

} // namespace

void TfrmMain::CompareFolders() {
    if (!Actions_.CompareFolders->isEnabled()) return;
    const std::optional<TCompareOptions> options =
        AskCompareOptions ? AskCompareOptions() : TfrmCompareOptions::Ask(this);
    // The lists may have changed while the options were asked for.
    THostView* host = CurrentHostView();
    TLocalView* local = CurrentLocalView();
    if (!options || !host || !local || !host->Connected() || BusyViews_.contains(host)) return;
    const QList<int> localRows = local->ShownRows();
    const QList<int> hostRows = host->ShownRows();
    const TCompareResult result =
        ::CompareFolders(ShownEntries(*local, localRows), ShownEntries(*host, hostRows), *options);
    local->SelectRows(SourceRows(result.Local, localRows));
    host->SelectRows(SourceRows(result.Host, hostRows));
}
