// Link labels: colours for normal, hover and visited, the hover timer, what
// a click opens, the beep on failure, the hand cursor and the font copy.
#include <gtest/gtest.h>

#include <QCursor>
#include <QLabel>
#include <QMouseEvent>

#include "ui/convert_dlg.h"
#include "ui/static_link.h"
#include "ui_test_support.h"

using namespace zelk;

namespace {
DialogTemplate LinkTemplate() {
    DialogTemplate t;
    t.caption = QStringLiteral("links");
    t.width = 200;
    t.height = 80;
    t.fontFace = QStringLiteral("宋体");
    t.pointSize = 9;
    t.controls = {
        ControlTemplate{101, ControlKind::Label, QStringLiteral("has a string resource"),
                        QRect(5, 5, 150, 8), kStyleNone, {}},
        ControlTemplate{4242, ControlKind::Label, QStringLiteral("file:///tmp/own-text"),
                        QRect(5, 20, 150, 8), kStyleNone, {}},
        ControlTemplate{4243, ControlKind::Label, QString(), QRect(5, 35, 150, 8), kStyleNone, {}},
        ControlTemplate{4244, ControlKind::Label, QStringLiteral("plain"), QRect(5, 50, 150, 8), kStyleNone, {}},
    };
    return t;
}

QColor TextColor(QLabel* label) { return label->palette().color(QPalette::WindowText); }

void Enter(QLabel* label) {
    const QPointF local(3, 3);
    QEnterEvent event(local, local, label->mapToGlobal(local));
    QApplication::sendEvent(label, &event);
}

void Click(QLabel* label) {
    const QPointF local(3, 3);
    QMouseEvent press(QEvent::MouseButtonPress, local, label->mapToGlobal(local), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(label, &press);
}

// Waits until the link stops hovering, at most about a second.
bool WaitForLeave(const CStaticLink& link) {
    for (int i = 0; i < 50 && link.m_hover; ++i) WaitMs(20);
    return !link.m_hover;
}
}  // namespace

TEST(LinkLabel, BlueRedOnHoverBlueAgainAfterLeaving) {
    RecordingOpener opener;
    CConvertDlg dialog;
    dialog.show();
    QLabel* label = dialog.m_authorLink.Label();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(CStaticLink::s_normalColor, QColor(0, 0, 255));
    EXPECT_EQ(CStaticLink::s_hoverColor, QColor(255, 0, 0));
    EXPECT_EQ(CStaticLink::s_visitedColor, QColor(128, 0, 128));
    EXPECT_EQ(TextColor(label), QColor(0, 0, 255));
    EXPECT_EQ(TextColor(dialog.m_siteLink.Label()), QColor(0, 0, 255));

    QCursor::setPos(label->mapToGlobal(QPoint(4, 4)));
    Enter(label);
    // Red at once, with the 100 ms timer running.
    EXPECT_TRUE(dialog.m_authorLink.m_hover);
    EXPECT_EQ(dialog.m_authorLink.m_textColor, QColor(255, 0, 0));
    EXPECT_EQ(TextColor(label), QColor(255, 0, 0));
    EXPECT_TRUE(dialog.m_authorLink.m_hoverTimer.isActive());
    EXPECT_EQ(dialog.m_authorLink.m_hoverTimer.interval(), 100);

    // Still over it after some ticks: still red.
    WaitMs(250);
    EXPECT_TRUE(dialog.m_authorLink.m_hover);
    EXPECT_EQ(TextColor(label), QColor(255, 0, 0));

    // The pointer leaves: blue again within a tick, and the timer stops.
    QCursor::setPos(label->mapToGlobal(QPoint(-40, -40)));
    ASSERT_TRUE(WaitForLeave(dialog.m_authorLink));
    EXPECT_EQ(TextColor(label), QColor(0, 0, 255));
    EXPECT_FALSE(dialog.m_authorLink.m_hoverTimer.isActive());
    // The other link never changed.
    EXPECT_EQ(TextColor(dialog.m_siteLink.Label()), QColor(0, 0, 255));

    // Disabled (while a file converts), it is drawn grey as any disabled
    // text, and blue again once enabled.
    const QColor grey = QApplication::palette(label).color(QPalette::Disabled, QPalette::WindowText);
    label->setEnabled(false);
    label->repaint();
    EXPECT_EQ(label->palette().color(QPalette::Disabled, QPalette::WindowText), grey);
    EXPECT_EQ(TextColor(label), grey);
    label->setEnabled(true);
    label->repaint();
    EXPECT_EQ(TextColor(label), QColor(0, 0, 255));
}

TEST(LinkLabel, TimerNoticesThePointerOutsideWithoutAnyEvent) {
    RecordingOpener opener;
    CConvertDlg dialog;
    dialog.show();
    QLabel* label = dialog.m_authorLink.Label();
    QCursor::setPos(label->mapToGlobal(QPoint(4, 4)));
    Enter(label);
    WaitMs(150);
    ASSERT_TRUE(dialog.m_authorLink.m_hover);
    // The label moves away from the pointer: only the polling can see it.
    label->move(label->x(), label->y() - 150);
    ASSERT_TRUE(WaitForLeave(dialog.m_authorLink));
    EXPECT_EQ(TextColor(label), QColor(0, 0, 255));
}

TEST(LinkLabel, LeaveEventEndsHoveringAtOnce) {
    RecordingOpener opener;
    CConvertDlg dialog;
    dialog.show();
    QLabel* label = dialog.m_siteLink.Label();
    QCursor::setPos(label->mapToGlobal(QPoint(4, 4)));
    Enter(label);
    ASSERT_TRUE(dialog.m_siteLink.m_hover);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(label, &leave);
    EXPECT_FALSE(dialog.m_siteLink.m_hover);
    EXPECT_FALSE(dialog.m_siteLink.m_hoverTimer.isActive());
    EXPECT_EQ(TextColor(label), QColor(0, 0, 255));
}

TEST(LinkLabel, SuccessfulOpenTurnsPurpleUntilThePointerLeaves) {
    RecordingOpener opener(kOpenSucceeded);
    RecordingBeeps beeps;
    CConvertDlg dialog;
    dialog.show();
    QLabel* label = dialog.m_siteLink.Label();
    QCursor::setPos(label->mapToGlobal(QPoint(4, 4)));
    Enter(label);
    Click(label);
    ASSERT_EQ(opener.addresses.size(), 1u);
    EXPECT_EQ(opener.addresses[0], dialog.m_siteLink.m_address.Text());
    EXPECT_TRUE(label->text().contains(opener.addresses[0]));
    EXPECT_EQ(TextColor(label), QColor(128, 0, 128));
    EXPECT_EQ(beeps.count, 0);

    QCursor::setPos(label->mapToGlobal(QPoint(-40, -40)));
    ASSERT_TRUE(WaitForLeave(dialog.m_siteLink));
    EXPECT_EQ(TextColor(label), QColor(0, 0, 255));
}

TEST(LinkLabel, FailedOpenBeepsAndStaysRed) {
    RecordingOpener opener(kOpenFailed);
    RecordingBeeps beeps;
    CConvertDlg dialog;
    dialog.show();
    QLabel* label = dialog.m_authorLink.Label();
    QCursor::setPos(label->mapToGlobal(QPoint(4, 4)));
    Enter(label);
    Click(label);
    EXPECT_EQ(opener.addresses.size(), 1u);
    EXPECT_EQ(beeps.count, 1);
    EXPECT_EQ(TextColor(label), QColor(255, 0, 0));
    EXPECT_TRUE(dialog.m_authorLink.m_hover);
    // The result 32 is still a failure; 33 the first success.
    EXPECT_FALSE(OpenSucceeded(32));
    EXPECT_TRUE(OpenSucceeded(33));
}

TEST(LinkLabel, WithoutAnAddressOpensTheStringResourceOrItsOwnText) {
    RecordingOpener opener;
    RecordingBeeps beeps;
    CTemplateDialog dialog(LinkTemplate(), nullptr);
    dialog.show();
    CStaticLink withResource, withText, empty;
    ASSERT_TRUE(withResource.SubclassDlgItem(101, &dialog));
    ASSERT_TRUE(withText.SubclassDlgItem(4242, &dialog));
    ASSERT_TRUE(empty.SubclassDlgItem(4243, &dialog));
    EXPECT_FALSE(CStaticLink().SubclassDlgItem(999, &dialog));

    Click(withResource.Label());
    Click(withText.Label());
    ASSERT_EQ(opener.addresses.size(), 2u);
    EXPECT_EQ(opener.addresses[0], QStringLiteral("关于 ZELK(&A)..."));
    EXPECT_EQ(opener.addresses[1], QStringLiteral("file:///tmp/own-text"));
    EXPECT_EQ(withText.m_address.Text(), QStringLiteral("file:///tmp/own-text"));

    // Nothing to open: nothing happens, not even a beep.
    Click(empty.Label());
    EXPECT_EQ(opener.addresses.size(), 2u);
    EXPECT_EQ(beeps.count, 0);
    EXPECT_EQ(TextColor(empty.Label()), QColor(0, 0, 255));
    EXPECT_EQ(CLinkAddress().Open(), 0);
}

TEST(LinkLabel, HandCursorAndAnUnchangedCopyOfTheFont) {
    RecordingOpener opener;
    CTemplateDialog dialog(LinkTemplate(), nullptr);
    dialog.show();
    CStaticLink link(QStringLiteral("file:///x"));
    QLabel* label = dialog.Item<QLabel>(4244);
    const QFont original = label->font();
    ASSERT_TRUE(link.SubclassDlgItem(4244, &dialog));
    EXPECT_FALSE(link.m_linkFont.has_value());  // made at the first painting

    label->grab();  // paints
    ASSERT_TRUE(link.m_linkFont.has_value());
    EXPECT_EQ(*link.m_linkFont, original);
    EXPECT_FALSE(link.m_linkFont->underline());
    EXPECT_EQ(label->font(), original);

    Enter(label);
    EXPECT_TRUE(CStaticLink::s_handCursorTried);
    ASSERT_TRUE(CStaticLink::s_handCursor.has_value());
    EXPECT_EQ(CStaticLink::s_handCursor->shape(), Qt::PointingHandCursor);
    EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
}

TEST(LinkLabel, AutoDeleteFollowsTheLabel) {
    auto* dialog = new CTemplateDialog(LinkTemplate(), nullptr);
    QPointer<CStaticLink> owned = new CStaticLink(QStringLiteral("a"), true);
    CStaticLink kept(QStringLiteral("b"), false);
    ASSERT_TRUE(owned->SubclassDlgItem(4242, dialog));
    ASSERT_TRUE(kept.SubclassDlgItem(4244, dialog));
    delete dialog;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(owned.isNull());
    EXPECT_EQ(kept.Label(), nullptr);
    EXPECT_EQ(kept.m_address.Text(), QStringLiteral("b"));
}
