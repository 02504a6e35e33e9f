#include "RufNum/OuterPlacement.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

OuterPlacement::OuterPlacement(QWidget& window, QSize minimumOuter, QSize maximumOuter)
    : QObject(&window), m_window(window), m_minimumOuter(minimumOuter),
      m_maximumOuter(maximumOuter), m_frame([&window] {
          return window.windowHandle() ? window.windowHandle()->frameMargins() : QMargins();
      }) {
    // The size limits come with the placement, once the frame they include is known.
    m_window.installEventFilter(this);
}

void OuterPlacement::place(const QRect& outer) {
    m_outer = outer;
    apply(m_frame());
}

QRect OuterPlacement::outer() const {
    return m_window.geometry().marginsAdded(m_frame());
}

bool OuterPlacement::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Show:
        if (watched != &m_window || m_stage != Stage::NotShown)
            break;
        m_stage = Stage::FrameUnknown;
        // The window system's window is there now; its exposure comes when it is mapped.
        if (QWindow* handle = m_window.windowHandle())
            handle->installEventFilter(this);
        [[fallthrough]];
    // What a window manager's reparenting and mapping bring about.
    case QEvent::Expose:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowStateChange:
        if (m_stage == Stage::FrameUnknown) {
            const QMargins frame = m_frame();
            // Placing moves and resizes the window, which comes back here.
            if (!frame.isNull())
                m_stage = Stage::Placed;
            if (!frame.isNull() || event->type() == QEvent::Show)
                apply(frame);
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void OuterPlacement::apply(const QMargins& frame) {
    // Either way the size limits hold, so the fallback height 135 becomes 200.
    m_window.setMinimumSize(m_minimumOuter.shrunkBy(frame));
    m_window.setMaximumSize(m_maximumOuter.shrunkBy(frame));
    if (frame.isNull()) {
        // A window's position is its frame's: where a window manager draws one, its corner
        // goes there.
        m_window.resize(m_outer.size());
        m_window.move(m_outer.topLeft());
    } else {
        // The inside's own geometry, not left to what the widget may not know of the frame yet.
        m_window.setGeometry(m_outer.marginsRemoved(frame));
    }
}
