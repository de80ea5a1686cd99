#pragma once

#include <QTimer>
#include <QWidget>

// The copying animation at the top of the progress window, drawn by the program: a sheet
// flies in an arc from one folder to the other, 26 frames to a flight.
class TBusyAnimation : public QWidget {
    Q_OBJECT
public:
    static constexpr int FrameCount = 26;
    explicit TBusyAnimation(QWidget* parent = nullptr);
    void Start();
    void Stop();
    bool Running() const { return Timer_.isActive(); }
    int Frame() const { return Frame_; }
    void SetFrame(int frame);
    QSize sizeHint() const override { return QSize(272, 60); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer Timer_;
    int Frame_ = 0;
};
