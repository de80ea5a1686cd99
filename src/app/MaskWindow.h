#pragma once

#include <QDialog>
#include <QPointer>

class QComboBox;
class TCustomView;

// "Mask": the mask a pane lists its files by, typed or picked from the presets. It serves
// one pane, given before it is shown; "OK" gives that pane the box's text.
class TfrmMask : public QDialog {
    Q_OBJECT
public:
    explicit TfrmMask(TCustomView* view, QWidget* parent = nullptr);

    // The mask in the box, whatever the answer: a preset stands for its mask alone.
    QString Mask() const;
    void accept() override;

private:
    QPointer<TCustomView> View_;
    QComboBox* Combo_;
};
