#include "ui/static_link.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>

#include "ui/dialog_template.h"
#include "ui/resources.h"

using namespace zelk;

const QColor CStaticLink::s_normalColor(0, 0, 255);
const QColor CStaticLink::s_visitedColor(128, 0, 128);
const QColor CStaticLink::s_hoverColor(255, 0, 0);
std::optional<QCursor> CStaticLink::s_handCursor;
bool CStaticLink::s_handCursorTried = false;

OpenResult CLinkAddress::Open() const {
    if (m_text.isEmpty()) return 0;
    return AddressOpener().Open(m_text);
}

CStaticLink::CStaticLink(const QString& address, bool autoDelete)
    : m_address(address), m_textColor(s_normalColor), m_autoDelete(autoDelete) {
    m_hoverTimer.setInterval(100);
    connect(&m_hoverTimer, &QTimer::timeout, this, &CStaticLink::OnHoverTimer);
}

CStaticLink::~CStaticLink() {
    if (m_label) m_label->removeEventFilter(this);
}

bool CStaticLink::SubclassDlgItem(int id, CTemplateDialog* dialog) {
    auto* label = dialog ? dialog->Item<QLabel>(id) : nullptr;
    if (!label) return false;
    if (m_label) {
        m_label->removeEventFilter(this);
        disconnect(m_label, nullptr, this, nullptr);
    }
    m_label = label;
    m_watched = label;
    m_controlId = id;
    label->setMouseTracking(true);
    label->installEventFilter(this);
    connect(label, &QObject::destroyed, this, &CStaticLink::OnLabelDestroyed);
    Invalidate();
    return true;
}

void CStaticLink::OnLabelDestroyed() {
    m_watched = nullptr;
    m_hoverTimer.stop();
    if (m_autoDelete) deleteLater();
}

bool CStaticLink::eventFilter(QObject* watched, QEvent* event) {
    // Compared as objects: while the label is being destroyed it is no
    // longer a label.
    if (watched != m_watched) return QObject::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::Enter:
        case QEvent::MouseMove:
        case QEvent::HoverEnter:
        case QEvent::HoverMove:
            OnHitTest();
            if (event->type() == QEvent::Enter) OnSetCursor();
            return false;
        case QEvent::Leave:
            // Where the pointer position is only known over our own windows,
            // the timer may not see it go; the leave event says so at once.
            if (m_hover) EndHover();
            return false;
        case QEvent::Paint:
            OnControlColor();
            return false;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                OnLButtonDown();
                return true;  // not passed on
            }
            return false;
        default:
            return false;
    }
}

void CStaticLink::OnHitTest() {
    if (m_hover) return;
    m_hover = true;
    m_textColor = s_hoverColor;
    Invalidate();
    m_hoverTimer.start();
}

void CStaticLink::OnHoverTimer() {
    if (!m_label) {
        m_hoverTimer.stop();
        return;
    }
    const QPoint point = m_label->mapFromGlobal(QCursor::pos());
    if (!m_label->rect().contains(point)) EndHover();
}

void CStaticLink::EndHover() {
    m_hover = false;
    m_hoverTimer.stop();
    m_textColor = s_normalColor;  // also after a visit
    Invalidate();
}

bool CStaticLink::OnControlColor() {
    if (!m_label) return false;
    // Only text labels: a picture is left as it is.
    if (!m_label->pixmap().isNull()) return false;
    if (!m_linkFont) {
        m_linkFont = m_label->font();
        m_label->setFont(*m_linkFont);
    }
    ApplyColor();
    m_label->setAutoFillBackground(false);
    return true;
}

void CStaticLink::ApplyColor() {
    if (!m_label || !m_label->pixmap().isNull()) return;
    // A disabled link keeps the style's grey, as any disabled text does.
    QPalette palette = m_label->palette();
    if (palette.color(QPalette::Active, QPalette::WindowText) != m_textColor ||
        palette.color(QPalette::Inactive, QPalette::WindowText) != m_textColor) {
        palette.setColor(QPalette::Active, QPalette::WindowText, m_textColor);
        palette.setColor(QPalette::Inactive, QPalette::WindowText, m_textColor);
        m_label->setPalette(palette);
    }
}

void CStaticLink::OnLButtonDown() {
    if (m_address.IsEmpty()) {
        if (const std::optional<QString> text = LoadStringResource(m_controlId)) {
            m_address = *text;
        } else if (m_label) {
            m_address = m_label->text();
        }
    }
    if (m_address.IsEmpty()) return;
    if (OpenSucceeded(m_address.Open())) {
        m_textColor = s_visitedColor;
        Invalidate();
    } else {
        SoundService().Beep();
    }
}

bool CStaticLink::OnSetCursor() {
    if (!s_handCursor && !s_handCursorTried) {
        s_handCursor = LoadHandCursor();
        s_handCursorTried = true;
    }
    if (!s_handCursor) return false;
    if (m_label) m_label->setCursor(*s_handCursor);
    return true;
}

void CStaticLink::Invalidate() {
    if (!m_label) return;
    ApplyColor();
    m_label->update();
}
