#pragma once

#include <QMargins>
#include <QObject>
#include <QRect>
#include <QSize>
#include <functional>

class QWidget;

// Places a window by its outer geometry, frame included, within size limits that mean the
// outer window too, and tells where it is in the same terms.
//
// A window manager draws the frame only once the window is mapped; at the show the frame still
// reads as nothing, so the placement made then fits the inside to the outer size. It is made
// again as soon as a frame shows up, so the window comes out in the size it was left in rather
// than growing by its frame at every start. Where no frame ever shows up (no window manager,
// or one that draws none) the first placement stands.
class OuterPlacement final : public QObject {
    Q_OBJECT
public:
    using FrameLookup = std::function<QMargins()>;

    OuterPlacement(QWidget& window, QSize minimumOuter, QSize maximumOuter);

    // Where the window is to be; placed so at once, and again once the window is shown.
    void place(const QRect& outer);
    // Where the window is, frame included.
    QRect outer() const;

    // The window system's frame by default.
    void setFrameLookup(FrameLookup lookup) { m_frame = std::move(lookup); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply(const QMargins& frame);

    QWidget& m_window;
    const QSize m_minimumOuter;
    const QSize m_maximumOuter;
    QRect m_outer;
    FrameLookup m_frame;
    enum class Stage { NotShown, FrameUnknown, Placed } m_stage = Stage::NotShown;
};
