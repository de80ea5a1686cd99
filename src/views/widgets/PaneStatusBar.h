#pragma once

#include <QStatusBar>

class QLabel;

// A pane's status bar: four panels (the mask, the counts of the items shown, of those
// selected, and the pane's own text: free space or bytes moved) and room for a short note.
class TPaneStatusBar : public QStatusBar {
    Q_OBJECT
public:
    enum { PanelCount = 4 };

    explicit TPaneStatusBar(QWidget* parent = nullptr);

    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString& text);
    // A lasting warning at the bar's right end, such as lines of a listing not understood;
    // hidden when empty.
    QString Warning() const;
    void SetWarning(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* Panels_[PanelCount] = {};
    QLabel* Warning_ = nullptr;
};
