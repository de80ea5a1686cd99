#include "transfer/windows/BusyAnimation.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

TBusyAnimation::TBusyAnimation(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("aviTransfer"));
    setFixedHeight(60);
    Timer_.setInterval(70);
    connect(&Timer_, &QTimer::timeout, this, [this] { SetFrame((Frame_ + 1) % FrameCount); });
}

void TBusyAnimation::Start() {
    Timer_.start();
}

void TBusyAnimation::Stop() {
    Timer_.stop();
    // At rest the sheet lies in the first folder, not wherever the last frame left it.
    SetFrame(0);
}

void TBusyAnimation::SetFrame(int frame) {
    Frame_ = frame;
    update();
}

namespace {

void DrawFolder(QPainter& p, const QRectF& r, bool open) {
    const QColor edge(150, 110, 20), back(240, 196, 80), front(252, 218, 120);
    p.setPen(QPen(edge, 1));
    QPainterPath tab;
    tab.moveTo(r.left(), r.top() + 6);
    tab.lineTo(r.left() + 2, r.top());
    tab.lineTo(r.left() + r.width() * 0.4, r.top());
    tab.lineTo(r.left() + r.width() * 0.45, r.top() + 6);
    tab.closeSubpath();
    p.setBrush(back);
    p.drawPath(tab);
    p.drawRect(QRectF(r.left(), r.top() + 6, r.width(), r.height() - 6));
    p.setBrush(front);
    const qreal lift = open ? 6 : 0;
    QPolygonF flap;
    flap << QPointF(r.left() + lift, r.top() + 12) << QPointF(r.right() + lift, r.top() + 12)
         << QPointF(r.right(), r.bottom()) << QPointF(r.left(), r.bottom());
    p.drawPolygon(flap);
}

} // namespace

void TBusyAnimation::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = width(), h = height();
    const qreal folderW = 44, folderH = 34, baseY = h - folderH - 6;
    const QRectF from(w / 2 - 110, baseY, folderW, folderH);
    const QRectF to(w / 2 + 66, baseY, folderW, folderH);
    DrawFolder(p, from, true);
    DrawFolder(p, to, true);
    // The sheet rises out of the left folder, arcs over and sinks into the right one.
    const qreal t = Frame_ / qreal(FrameCount - 1);
    const qreal x = from.center().x() + (to.center().x() - from.center().x()) * t;
    const qreal y = baseY + 4 - std::sin(t * M_PI) * (baseY + 2);
    p.save();
    p.translate(x, y + 10);
    p.rotate(-20 + 40 * t);
    const QRectF sheet(-9, -11, 18, 22);
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawRect(sheet);
    p.setPen(QPen(QColor(120, 140, 200), 1));
    for (int line = 0; line < 4; ++line)
        p.drawLine(QPointF(-6, -6 + line * 4), QPointF(6, -6 + line * 4));
    p.restore();
}
