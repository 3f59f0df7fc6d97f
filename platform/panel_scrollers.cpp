// Panel scroll bars over QScrollBar, with a fixed range: the value and the knob proportion are
// mapped onto it.
#include "platform/panel_scrollers.h"

#include <QPointer>
#include <QScrollBar>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "platform/window_platform_qt.h"

namespace plexa {

namespace {
constexpr int kRange = 100000;
PlatformScrollerAction gAction = nullptr;
}  // namespace

struct PlatformScroller {
    QPointer<QScrollBar> bar;
    int32_t windowID = 0;
    int32_t axis = 0;
    double proportion = 0.2;
};

namespace {

void Report(PlatformScroller* scroller, int action) {
    if (!gAction || !scroller->bar) return;
    int32_t part = -1;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub: part = 0; break;
        case QAbstractSlider::SliderSingleStepAdd: part = 1; break;
        case QAbstractSlider::SliderPageStepSub: part = 2; break;
        case QAbstractSlider::SliderPageStepAdd: part = 3; break;
        case QAbstractSlider::SliderMove: part = 5; break;
        default: return;
    }
    // The bar's own position after the action, as a value 0 ... 1.
    const double value = std::clamp(double(scroller->bar->sliderPosition()) / kRange, 0.0, 1.0);
    gAction(scroller->windowID, scroller->axis, part, value);
}

}  // namespace

PlatformScroller* PlatformScrollerCreate(PlatformWindow* window, int32_t axis,
                                         PlatformRect frame) {
    QWidget* view = window ? PlatformWindowContentWidget(window) : nullptr;
    if (!view) return nullptr;
    auto* scroller = new PlatformScroller;
    scroller->windowID = PlatformWindowID(window);
    scroller->axis = axis;
    auto* bar = new QScrollBar(axis == 0 ? Qt::Vertical : Qt::Horizontal, view);
    bar->setRange(0, kRange);
    bar->setEnabled(false);
    bar->setFocusPolicy(Qt::NoFocus);
    scroller->bar = bar;
    QObject::connect(bar, &QAbstractSlider::actionTriggered,
                     [scroller](int action) { Report(scroller, action); });
    PlatformScrollerSetFrame(scroller, frame);
    PlatformScrollerSetState(scroller, false, 0, 0.2);
    bar->show();
    return scroller;
}

void PlatformScrollerDestroy(PlatformScroller* scroller) {
    if (!scroller) return;
    if (scroller->bar) {
        QObject::disconnect(scroller->bar, nullptr, nullptr, nullptr);
        scroller->bar->hide();
        scroller->bar->deleteLater();
    }
    delete scroller;
}

void PlatformScrollerSetFrame(PlatformScroller* scroller, PlatformRect frame) {
    if (scroller && scroller->bar)
        scroller->bar->setGeometry(frame.x, frame.y, std::max(frame.width, 0),
                                   std::max(frame.height, 0));
}

void PlatformScrollerSetState(PlatformScroller* scroller, bool enabled, double value,
                              double proportion) {
    if (!scroller || !scroller->bar) return;
    scroller->proportion = std::clamp(proportion, 0.0, 1.0);
    QScrollBar* bar = scroller->bar;
    const QSignalBlocker quiet(bar);
    // A knob of proportion p over a range R has a page of p R / (1 - p).
    const double p = std::min(scroller->proportion, 0.999);
    bar->setPageStep(std::max(1, int(std::lround(p * kRange / (1 - p)))));
    bar->setSingleStep(std::max(1, kRange / 50));
    bar->setValue(int(std::lround(std::clamp(value, 0.0, 1.0) * kRange)));
    bar->setEnabled(enabled);
}

void PlatformScrollerGetState(const PlatformScroller* scroller, bool* enabled, double* value,
                              double* proportion) {
    const bool live = scroller && scroller->bar;
    if (enabled) *enabled = live && scroller->bar->isEnabled();
    if (value) *value = live ? double(scroller->bar->value()) / kRange : 0;
    if (proportion) *proportion = live ? scroller->proportion : 0;
}

PlatformRect PlatformScrollerFrame(const PlatformScroller* scroller) {
    if (!scroller || !scroller->bar) return {};
    const QRect r = scroller->bar->geometry();
    return {r.x(), r.y(), r.width(), r.height()};
}

void PlatformSetScrollerAction(PlatformScrollerAction action) { gAction = action; }

void PlatformScrollerTrigger(PlatformScroller* scroller, int32_t part, double value) {
    if (!scroller || !scroller->bar) return;
    QScrollBar* bar = scroller->bar;
    switch (part) {
        case 0: bar->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
        case 1: bar->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
        case 2: bar->triggerAction(QAbstractSlider::SliderPageStepSub); break;
        case 3: bar->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
        case 5:
            bar->setSliderPosition(int(std::lround(std::clamp(value, 0.0, 1.0) * kRange)));
            break;
        default: break;
    }
}

}  // namespace plexa
