// A label that acts as a link: blue text, red while the pointer is over it,
// purple once its address has been opened, and a pointing-hand cursor.
//
// The link attaches itself to a label that already exists in a dialog and
// from then on sees that label's events first; what it does not handle
// gets the label's own processing.
#pragma once

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <optional>

#include "ui/qt_platform.h"

#include <QLabel>
class CTemplateDialog;

// An address and the way to open it.
class CLinkAddress {
public:
    CLinkAddress() = default;
    explicit CLinkAddress(QString text) : m_text(std::move(text)) {}
    virtual ~CLinkAddress() = default;
    CLinkAddress(const CLinkAddress&) = default;
    CLinkAddress& operator=(const CLinkAddress&) = default;
    CLinkAddress& operator=(const QString& text) {
        m_text = text;
        return *this;
    }

    const QString& Text() const { return m_text; }
    bool IsEmpty() const { return m_text.isEmpty(); }

    // 0 for an empty address, without doing anything; otherwise the
    // opener's result, greater than 32 when the address opened.
    virtual OpenResult Open() const;

private:
    QString m_text;
};

class CStaticLink : public QObject {
    Q_OBJECT
public:
    // address may be empty; autoDelete: the link deletes itself once its
    // label is destroyed.
    explicit CStaticLink(const QString& address = QString(), bool autoDelete = false);
    ~CStaticLink() override;

    // Attaches the link to the dialog's label with this id. False when the
    // dialog has no such label.
    bool SubclassDlgItem(int id, CTemplateDialog* dialog);
    QLabel* Label() const { return m_label; }

    CLinkAddress m_address;
    QColor m_textColor;
    std::optional<QFont> m_linkFont;  // a copy of the label's font, made once
    bool m_autoDelete = false;
    bool m_hover = false;
    QTimer m_hoverTimer;  // 100 ms while hovering

    static const QColor s_normalColor;   // blue
    static const QColor s_visitedColor;  // purple
    static const QColor s_hoverColor;    // red
    static std::optional<QCursor> s_handCursor;
    static bool s_handCursorTried;

    // The handlers, one per event the link takes over.
    void OnHitTest();        // the pointer is over the label
    void OnHoverTimer();     // a tick: has the pointer left?
    bool OnControlColor();   // before painting: font and colour
    void OnLButtonDown();    // a click opens the address
    bool OnSetCursor();      // the hand cursor

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Invalidate();
    void EndHover();
    void ApplyColor();
    void OnLabelDestroyed();

    QPointer<QLabel> m_label;
    QObject* m_watched = nullptr;  // the label, as the object events come for
    int m_controlId = -1;
};
