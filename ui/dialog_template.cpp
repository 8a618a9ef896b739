#include "ui/dialog_template.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <algorithm>
#include <cstdlib>

#include "ui/data_exchange.h"
#include "ui/qt_platform.h"
#include "ui/resources.h"
#include "ui/templates.h"

using namespace zelk;

namespace {
// A group box drawn the classic way: an etched frame with the title set
// into its top edge. It is only a frame; the controls inside it are
// siblings lying above it.
class CGroupFrame final : public QGroupBox {
public:
    CGroupFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent) {
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QFontMetrics metrics(font());
        const int top = metrics.height() / 2;
        const QRect frame = rect().adjusted(0, top, -2, -2);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(frame);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawRect(frame.translated(1, 1));
        if (title().isEmpty()) return;
        const int indent = metrics.averageCharWidth();
        const QRect text(indent, 0, metrics.horizontalAdvance(title()) + metrics.averageCharWidth(),
                         metrics.height());
        painter.fillRect(text, palette().color(QPalette::Window));
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                       QPalette::WindowText));
        painter.drawText(text, Qt::AlignCenter | Qt::TextSingleLine, title());
    }
};

// An edit field that shows its whole text in a tooltip whenever the text is
// wider than the field, so that a long number is never only seen in part;
// after its hint (kFieldHintProperty), when it has one.
class CEditField final : public QLineEdit {
public:
    explicit CEditField(QWidget* parent) : QLineEdit(parent) {
        connect(this, &QLineEdit::textChanged, this, [this] { UpdateToolTip(); });
    }

protected:
    bool event(QEvent* event) override {
        const bool done = QLineEdit::event(event);
        if (event->type() == QEvent::DynamicPropertyChange) UpdateToolTip();
        return done;
    }
    void resizeEvent(QResizeEvent* event) override {
        QLineEdit::resizeEvent(event);
        UpdateToolTip();
    }
    void changeEvent(QEvent* event) override {
        QLineEdit::changeEvent(event);
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) UpdateToolTip();
    }

private:
    // The width the text may take without scrolling: the field's contents
    // less its text margins and the two pixels a line edit keeps clear on
    // each side; the text needs one pixel more than its advance for the
    // cursor.
    bool TextFits() const {
        QStyleOptionFrame panel;
        initStyleOption(&panel);
        const QRect contents =
            style()->subElementRect(QStyle::SE_LineEditContents, &panel, this).marginsRemoved(textMargins());
        constexpr int kSideMargin = 2;
        const int advance = qRound(QFontMetricsF(font()).horizontalAdvance(text()));
        return advance + 1 <= contents.width() - 2 * kSideMargin;
    }
    void UpdateToolTip() {
        const QString hint = property(kFieldHintProperty).toString();
        QString tip = TextFits() ? QString() : text();
        if (!hint.isEmpty()) tip = tip.isEmpty() ? hint : hint + QLatin1Char('\n') + tip;
        if (toolTip() != tip) setToolTip(tip);
    }
};

// Installed fonts known to carry the Chinese characters of the dialogs, in
// order of preference, for machines without the template's face.
const char* const kChineseFallbacks[] = {
    "SimSun",           "NSimSun",           "WenQuanYi Micro Hei",
    "Noto Sans CJK SC", "Noto Serif CJK SC", "Source Han Sans SC",
    "AR PL UMing CN",   "Droid Sans Fallback",
};

QString ChooseFamily(const QString& face) {
    static QHash<QString, QString> chosen;
    const auto known = chosen.constFind(face);
    if (known != chosen.constEnd()) return *known;

    QString family;
    const QStringList installed = QFontDatabase::families();
    if (installed.contains(face, Qt::CaseInsensitive)) {
        family = face;
    } else {
        for (const char* name : kChineseFallbacks) {
            if (installed.contains(QString::fromLatin1(name), Qt::CaseInsensitive)) {
                family = QString::fromLatin1(name);
                break;
            }
        }
    }
    if (family.isEmpty()) {
        const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
        family = chinese.isEmpty() ? face : chinese.first();
    }
    chosen.insert(face, family);
    return family;
}
}  // namespace

QFont DialogFont(const QString& face, int pointSize) {
    QFont font(ChooseFamily(face));
    font.setPointSize(pointSize);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogBaseUnits{(letters / 26 + 1) / 2, metrics.height()};
}

int MulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = std::llabs(static_cast<long long>(c)) / 2;
    const bool negative = (product < 0) != (c < 0);
    const long long magnitude = (std::llabs(product) + half) / std::llabs(static_cast<long long>(c));
    return static_cast<int>(negative ? -magnitude : magnitude);
}

QRect MapDialogRect(const QRect& du, DialogBaseUnits units) {
    return QRect(MulDiv(du.x(), units.x, 4), MulDiv(du.y(), units.y, 8),
                 MulDiv(du.width(), units.x, 4), MulDiv(du.height(), units.y, 8));
}

CTemplateDialog::CTemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent), m_template(dialogTemplate) {
    Build();
}

CTemplateDialog::~CTemplateDialog() = default;

void CTemplateDialog::Build() {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (m_template.style & kSystemMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    setWindowFlags(flags);
    setWindowTitle(m_template.caption);

    setFont(DialogFont(m_template.fontFace, m_template.pointSize));
    m_units = BaseUnitsOf(font());
    const QRect client = MapDialogRect(QRect(0, 0, m_template.width, m_template.height), m_units);
    if (m_template.style & kModalFrame) {
        setFixedSize(client.size());
    } else {
        resize(client.size());
    }

    QWidget* previousFocusable = nullptr;
    for (const ControlTemplate& control : m_template.controls) {
        QWidget* widget = CreateControl(control);
        widget->setProperty(kControlIdProperty, control.id);
        widget->setProperty(kDialogRectProperty, control.rect);
        m_controls.push_back(widget);
        if (control.id != kNoId) m_byId.insert(control.id, widget);
        if (widget->focusPolicy() != Qt::NoFocus) {
            if (previousFocusable) setTabOrder(previousFocusable, widget);
            previousFocusable = widget;
        }
    }
    // Group boxes are frames only: they lie beneath the other controls and
    // let the mouse through to whatever is inside them.
    for (QWidget* widget : m_controls) {
        if (qobject_cast<QGroupBox*>(widget)) widget->lower();
    }
}

QWidget* CTemplateDialog::CreateControl(const ControlTemplate& control) {
    const QRect pixels = MapDialogRect(control.rect, m_units);
    QWidget* widget = nullptr;
    switch (control.kind) {
        case ControlKind::PushButton: {
            auto* button = new QPushButton(control.text, this);
            button->setAutoDefault(true);
            // One default button per dialog: the first that asks for it.
            if ((control.style & kDefaultButton) && !m_hasDefault) {
                button->setDefault(true);
                m_hasDefault = true;
            }
            widget = button;
            break;
        }
        case ControlKind::GroupBox: {
            widget = new CGroupFrame(control.text, this);
            break;
        }
        case ControlKind::DropDownList: {
            auto* list = new QComboBox(this);
            list->setEditable(false);
            list->addItems(control.items);
            list->setCurrentIndex(-1);
            list->setMaxVisibleItems(std::max(1, static_cast<int>(control.items.size())));
            widget = list;
            // The rectangle's height is that of the open list; the closed
            // box is as tall as its font needs.
            list->setGeometry(pixels.x(), pixels.y(), pixels.width(), list->sizeHint().height());
            return widget;
        }
        case ControlKind::Edit: {
            auto* edit = new CEditField(this);
            edit->setFrame((control.style & kBorder) != 0);
            widget = edit;
            break;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(control.text, this);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setTextFormat(Qt::PlainText);
            label->setFocusPolicy(Qt::NoFocus);
            widget = label;
            break;
        }
        case ControlKind::CheckBox: {
            auto* check = new QCheckBox(control.text, this);
            widget = check;
            break;
        }
        case ControlKind::Icon: {
            // An icon control takes the size of its icon.
            auto* label = new QLabel(this);
            const QPixmap pixmap = LoadIconResource(control.text.toInt()).pixmap(32, 32);
            label->setPixmap(pixmap);
            label->setFocusPolicy(Qt::NoFocus);
            label->setGeometry(pixels.x(), pixels.y(), pixmap.width(), pixmap.height());
            return label;
        }
        case ControlKind::Custom: {
            widget = control.create ? control.create(this) : new QWidget(this);
            break;
        }
    }
    widget->setGeometry(pixels);
    return widget;
}

QWidget* CTemplateDialog::GetDlgItem(int id) const { return m_byId.value(id, nullptr); }

void CTemplateDialog::SetDlgItemText(int id, const QString& text) {
    QWidget* widget = GetDlgItem(id);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(text);
    } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        box->setTitle(text);
    }
}

int CTemplateDialog::DoModal() { return exec(); }

void CTemplateDialog::reject() {
    if (!m_busy) OnCancel();
}

void CTemplateDialog::SetBusy(bool busy) {
    if (busy == m_busy) return;
    m_busy = busy;
    if (busy) {
        for (QWidget* control : m_controls) {
            if (!control->isEnabled()) continue;
            control->setEnabled(false);
            m_disabledWhileBusy.push_back(control);
        }
        return;
    }
    for (QWidget* control : m_disabledWhileBusy) control->setEnabled(true);
    m_disabledWhileBusy.clear();
}

void CTemplateDialog::OnCancel() { EndDialog(kIdCancel); }

void CTemplateDialog::FocusFirstControl() {
    for (QWidget* widget : m_controls) {
        if (widget->focusPolicy() != Qt::NoFocus && widget->isEnabled()) {
            widget->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

QWidget* FindControl(const QWidget* dialog, int id) {
    if (id == kNoId) return nullptr;
    for (QWidget* child : dialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->property(kControlIdProperty).toInt() == id &&
            child->property(kControlIdProperty).isValid()) {
            return child;
        }
    }
    return nullptr;
}

void CTemplateDialog::PickFile(bool open, const char* filter, QString& path, int buttonId) {
    if (const std::optional<QString> chosen = AskForFile(open, filter, kFileSuffix, this)) {
        path = *chosen;
        ShowFileOnButton(buttonId, *chosen);
    }
}

void CTemplateDialog::ShowFileOnButton(int buttonId, const QString& path, const QString& emptyText) {
    auto* button = Item<QPushButton>(buttonId);
    if (!button) return;
    if (path.isEmpty()) {
        button->setText(emptyText);
        button->setToolTip(QString());
        return;
    }
    // The room for text: the button's contents less the margins the style
    // keeps on each side.
    QStyleOptionButton option;
    option.initFrom(button);
    const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
    const int room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width() -
                     2 * margin;
    const QString name = QFileInfo(path).fileName();
    QString shown = button->fontMetrics().elidedText(name, Qt::ElideMiddle, std::max(room, 1));
    // An ampersand is part of the name, not a shortcut.
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    button->setText(shown);
    button->setToolTip(QDir::toNativeSeparators(path));
}

bool CTemplateDialog::UpdateData(bool saveAndValidate) {
    CDataExchange dx(*this, saveAndValidate);
    DoDataExchange(dx);
    return !dx.Failed();
}

void CTemplateDialog::DoDataExchange(CDataExchange&) {}
