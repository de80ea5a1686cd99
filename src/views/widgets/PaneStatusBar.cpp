#include "views/widgets/PaneStatusBar.h"

#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QToolTip>

namespace {

// The counts' panels are as wide as a long count of their kind in the bar's font; the
// last panel (free space, bytes moved) takes the rest.
const char* const PanelSamples[3] = {"*.html", "9,999 Entries, 999MB",
                                     "9,999 Items Selected, 999MB"};

// A status panel that cuts a text too long for it with an ellipsis, never silently at
// its edge (a cut number would read as another number); its hint shows the whole text.
// Panels after the first draw a line at their left edge and keep a little room on
// either side, so that two texts never run together ("0 Bytes0 Items Selected").
class TStatusPanel : public QLabel {
public:
    explicit TStatusPanel(QWidget* parent, bool separated) : QLabel(parent), Separated_(separated) {
        setContentsMargins(separated ? 6 : 2, 0, 4, 0);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (Separated_) {
            painter.setPen(palette().color(QPalette::Mid));
            painter.drawLine(0, 3, 0, height() - 4);
        }
        const QRect area = contentsRect();
        painter.drawText(area, int(alignment()),
                         fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
    }

private:
    bool Separated_;
};

} // namespace

TPaneStatusBar::TPaneStatusBar(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(false);
    for (int i = 0; i < PanelCount; ++i) {
        QLabel* panel = Panels_[i] = new TStatusPanel(this, i > 0);
        panel->setObjectName(QStringLiteral("panel%1").arg(i));
        panel->installEventFilter(this);
        if (i < PanelCount - 1) {
            const QMargins margins = panel->contentsMargins();
            panel->setFixedWidth(
                panel->fontMetrics().horizontalAdvance(QLatin1String(PanelSamples[i])) +
                margins.left() + margins.right() + 4);
            addWidget(panel);
        } else {
            // A long text never widens the pane: it is cut, and its hint shows it whole.
            panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            panel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            addWidget(panel, 1);
        }
    }
    Panels_[0]->setText(QStringLiteral("*.*"));
    Warning_ = new TStatusPanel(this, true);
    Warning_->setObjectName(QStringLiteral("warning"));
    Warning_->setForegroundRole(QPalette::BrightText);
    Warning_->setStyleSheet(QStringLiteral("color: #b00000"));
    Warning_->hide();
    addPermanentWidget(Warning_);
}

QString TPaneStatusBar::Warning() const {
    return Warning_->text();
}

void TPaneStatusBar::SetWarning(const QString& text) {
    Warning_->setText(text);
    Warning_->setToolTip(text);
    Warning_->setMinimumWidth(Warning_->fontMetrics().horizontalAdvance(text) + 16);
    Warning_->setVisible(!text.isEmpty());
}

QString TPaneStatusBar::PanelText(int panel) const {
    return panel >= 0 && panel < PanelCount ? Panels_[panel]->text() : QString();
}

void TPaneStatusBar::SetPanelText(int panel, const QString& text) {
    if (panel >= 0 && panel < PanelCount) Panels_[panel]->setText(text);
}

bool TPaneStatusBar::eventFilter(QObject* watched, QEvent* event) {
    auto* panel = qobject_cast<QLabel*>(watched);
    if (event->type() != QEvent::ToolTip || !panel) return QStatusBar::eventFilter(watched, event);
    // A panel's full text shows as a hint only when it does not fit.
    const int needed = panel->fontMetrics().horizontalAdvance(panel->text());
    if (needed > panel->width() - 10)
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), panel->text(), panel);
    else
        QToolTip::hideText();
    return true;
}
