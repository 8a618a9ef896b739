#include "ui/qt_platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QClipboard>
#include <QFontDatabase>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QStyledItemDelegate>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QThread>
#include <QTranslator>
#include <QStringDecoder>
#include <QUrl>
#include <algorithm>

using namespace zelk;

namespace {
// Length of the well-formed UTF-8 sequence starting at text[i], or 0.
std::size_t Utf8Length(const std::string& text, std::size_t i) {
    const auto at = [&](std::size_t k) -> unsigned {
        return k < text.size() ? static_cast<unsigned char>(text[k]) : 0x100u;
    };
    const auto trail = [&](std::size_t k, unsigned low = 0x80, unsigned high = 0xBF) {
        return at(k) >= low && at(k) <= high;
    };
    const unsigned c = at(i);
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) return trail(i + 1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        const unsigned low = c == 0xE0 ? 0xA0 : 0x80;
        const unsigned high = c == 0xED ? 0x9F : 0xBF;
        return trail(i + 1, low, high) && trail(i + 2) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const unsigned low = c == 0xF0 ? 0x90 : 0x80;
        const unsigned high = c == 0xF4 ? 0x8F : 0xBF;
        return trail(i + 1, low, high) && trail(i + 2) && trail(i + 3) ? 4 : 0;
    }
    return 0;
}

// Length of the GB18030 character starting at text[i] (2 or 4), or 0.
std::size_t ChineseLength(const std::string& text, std::size_t i) {
    const auto at = [&](std::size_t k) -> unsigned {
        return k < text.size() ? static_cast<unsigned char>(text[k]) : 0x100u;
    };
    const unsigned lead = at(i);
    if (lead < 0x81 || lead > 0xFE) return 0;
    const unsigned second = at(i + 1);
    if (second >= 0x40 && second <= 0xFE && second != 0x7F) return 2;
    if (second >= 0x30 && second <= 0x39 && at(i + 2) >= 0x81 && at(i + 2) <= 0xFE &&
        at(i + 3) >= 0x30 && at(i + 3) <= 0x39) {
        return 4;
    }
    return 0;
}
}  // namespace

QString DecodeMessageText(const std::string& text) {
    QStringDecoder chinese("GB18030", QStringDecoder::Flag::Stateless);
    QString decoded;
    decoded.reserve(static_cast<qsizetype>(text.size()));
    std::size_t i = 0;
    while (i < text.size()) {
        // Runs of UTF-8 at once: a report of many lines is decoded quickly.
        std::size_t run = i;
        while (run < text.size()) {
            const std::size_t n = Utf8Length(text, run);
            if (n == 0) break;
            run += n;
        }
        if (run > i) {
            decoded += QString::fromUtf8(text.data() + i, static_cast<qsizetype>(run - i));
            i = run;
        } else if (const std::size_t m = ChineseLength(text, i); m && chinese.isValid()) {
            decoded += chinese.decode(QByteArrayView(text.data() + i, static_cast<qsizetype>(m)));
            i += m;
        } else {
            decoded += QChar(QChar::ReplacementCharacter);
            ++i;
        }
    }
    return decoded;
}

namespace {
QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            break;
    }
    return QMessageBox::Warning;
}

QStyle::StandardPixmap IconPixmap(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error:
            return QStyle::SP_MessageBoxCritical;
        case MessageIcon::Information:
            return QStyle::SP_MessageBoxInformation;
        case MessageIcon::Warning:
            break;
    }
    return QStyle::SP_MessageBoxWarning;
}

// Every line of a report as wide as the widest: the list scrolls sideways
// to the end of any line, and lays out its rows without measuring each.
class ReportLineSize final : public QStyledItemDelegate {
public:
    ReportLineSize(QSize size, QObject* parent) : QStyledItemDelegate(parent), m_size(size) {}
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return m_size; }

private:
    QSize m_size;
};
}  // namespace

bool IsLongMessage(const std::string& text) {
    return text.size() > kLongMessageBytes ||
           std::count(text.begin(), text.end(), '\n') >= static_cast<std::ptrdiff_t>(kLongMessageLines);
}

std::unique_ptr<QDialog> MakeReportBox(const std::string& text, const std::string& caption, MessageIcon icon,
                                       QWidget* owner) {
    auto box = std::make_unique<QDialog>(owner);
    box->setWindowTitle(DecodeMessageText(caption.empty() ? ApplicationName() : caption));
    if (!owner) box->setWindowModality(Qt::ApplicationModal);
    auto* picture = new QLabel(box.get());
    const int iconSize = box->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, box.get());
    picture->setPixmap(box->style()->standardIcon(IconPixmap(icon), nullptr, box.get()).pixmap(iconSize, iconSize));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    // A line a row: a list draws only the lines in view, so a report of
    // every pair of a large estimation shows at once. Columns aligned with
    // blanks stay aligned in a fixed-pitch font.
    const QString decoded = DecodeMessageText(text);
    QStringList lines = decoded.split(QLatin1Char('\n'));
    if (lines.size() > 1 && lines.last().isEmpty()) lines.removeLast();
    auto* field = new QListView(box.get());
    field->setObjectName(QStringLiteral("reportLines"));
    field->setModel(new QStringListModel(lines, field));
    field->setUniformItemSizes(true);
    field->setSelectionMode(QAbstractItemView::NoSelection);
    field->setEditTriggers(QAbstractItemView::NoEditTriggers);
    field->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    field->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    field->setTextElideMode(Qt::ElideNone);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, box.get());
    QPushButton* copy = buttons->addButton(QStringLiteral("复制全部"), QDialogButtonBox::ActionRole);
    QObject::connect(copy, &QPushButton::clicked, box.get(), [decoded] { QGuiApplication::clipboard()->setText(decoded); });
    QObject::connect(buttons, &QDialogButtonBox::accepted, box.get(), &QDialog::accept);
    auto* layout = new QGridLayout(box.get());
    layout->addWidget(picture, 0, 0);
    layout->addWidget(field, 0, 1);
    layout->addWidget(buttons, 1, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    buttons->button(QDialogButtonBox::Ok)->setFocus(Qt::OtherFocusReason);

    // As wide as the widest line and as tall as the text, within two
    // thirds of the screen. The lines measured are the first and the last
    // thousands: the middle of a long report is its table of pairs.
    const QFontMetrics metrics(field->font());
    int widest = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i == 2000 && lines.size() > 4000) i = lines.size() - 2000;
        widest = std::max(widest, metrics.horizontalAdvance(lines[i]));
    }
    field->setItemDelegate(new ReportLineSize(QSize(widest + 8, metrics.height() + 2), field));
    QSize screen(1024, 768);
    if (const QScreen* shown = (owner ? owner->screen() : QGuiApplication::primaryScreen())) {
        screen = shown->availableGeometry().size();
    }
    const int frame = 2 * field->frameWidth() + field->verticalScrollBar()->sizeHint().width() + 12;
    const int rows = static_cast<int>(std::min<qsizetype>(lines.size(), 1000)) + 1;
    field->setMinimumSize(std::clamp(widest + frame, 360, screen.width() * 2 / 3),
                          std::clamp(rows * (metrics.lineSpacing() + 1) + frame, 120, screen.height() * 2 / 3));
    return box;
}

std::unique_ptr<QMessageBox> MakeMessageBox(const std::string& text, const std::string& caption,
                                            MessageIcon icon, QWidget* owner) {
    auto box = std::make_unique<QMessageBox>(
        BoxIcon(icon), DecodeMessageText(caption.empty() ? ApplicationName() : caption), DecodeMessageText(text),
        QMessageBox::Ok, owner);
    box->setTextFormat(Qt::PlainText);
    if (!owner) box->setWindowModality(Qt::ApplicationModal);
    return box;
}

void QtMessageService::Show(const std::string& text, const std::string& caption, MessageIcon icon) {
    // A box belongs to the thread of the user interface; a worker thread
    // reports its results back to it instead.
    Q_ASSERT(QThread::currentThread() == QCoreApplication::instance()->thread());
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner) owner = QApplication::activeWindow();
    if (IsLongMessage(text)) {
        MakeReportBox(text, caption, icon, owner)->exec();
    } else {
        MakeMessageBox(text, caption, icon, owner)->exec();
    }
}

bool InstallQtTranslation(QTranslator& translator, const QString& folder) {
    const QString where = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    if (!translator.load(QStringLiteral("qtbase_zh_CN"), where)) return false;
    return QCoreApplication::installTranslator(&translator);
}

QStringList NameFiltersFromPairs(const QString& filter) {
    QStringList filters;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters;
}

namespace {
class QtFilePicker final : public IFilePicker {
public:
    std::optional<QString> Pick(const FilePickRequest& request) override {
        QWidget* owner = request.owner ? request.owner : QApplication::activeWindow();
        QFileDialog dialog(owner);
        dialog.setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
        // Open accepts a name that does not exist yet: the run that uses it
        // reports what it cannot read.
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilters(NameFiltersFromPairs(request.filter));
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
        dialog.setOption(QFileDialog::ReadOnly, false);
        dialog.setDefaultSuffix(request.defaultSuffix);
        if (!request.directory.isEmpty()) dialog.setDirectory(request.directory);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        const QStringList files = dialog.selectedFiles();
        if (files.isEmpty() || files.first().isEmpty()) return std::nullopt;
        return files.first();
    }
};

class QtAddressOpener final : public IAddressOpener {
public:
    OpenResult Open(const QString& address) override {
        if (address.isEmpty()) return 0;
        return QDesktopServices::openUrl(QUrl::fromUserInput(address)) ? kOpenSucceeded : kOpenFailed;
    }
};

class QtSoundService final : public ISoundService {
public:
    void Beep() override { QApplication::beep(); }
};

QtFilePicker g_realPicker;
IFilePicker* g_picker = nullptr;
QtAddressOpener g_realOpener;
IAddressOpener* g_opener = nullptr;
QtSoundService g_realSound;
ISoundService* g_sound = nullptr;

template <typename T>
T* Exchange(T*& slot, T* replacement) {
    T* previous = slot;
    slot = replacement;
    return previous;
}
}  // namespace

IFilePicker& FilePicker() { return g_picker ? *g_picker : g_realPicker; }

std::optional<QString> AskForFile(bool open, const char* filter, const char* suffix,
                                  QWidget* owner) {
    FilePickRequest request;
    request.open = open;
    request.filter = QString::fromUtf8(filter);
    if (suffix != nullptr) request.defaultSuffix = QString::fromLatin1(suffix);
    request.owner = owner;
    return FilePicker().Pick(request);
}
IFilePicker* SetFilePicker(IFilePicker* picker) { return Exchange(g_picker, picker); }
IAddressOpener& AddressOpener() { return g_opener ? *g_opener : g_realOpener; }
IAddressOpener* SetAddressOpener(IAddressOpener* opener) { return Exchange(g_opener, opener); }
ISoundService& SoundService() { return g_sound ? *g_sound : g_realSound; }
ISoundService* SetSoundService(ISoundService* sound) { return Exchange(g_sound, sound); }

std::optional<QCursor> LoadHandCursor() { return QCursor(Qt::PointingHandCursor); }

// The file system's own form of a name: bytes (as Qt encodes them) on POSIX
// systems, UTF-16 on Windows.
std::filesystem::path ToPath(const QString& fileName) {
#ifdef _WIN32
    return std::filesystem::path(fileName.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(fileName).toStdString());
#endif
}

QString FromPath(const std::filesystem::path& path) {
#ifdef _WIN32
    return QString::fromStdWString(path.native());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

std::string CodePageBytes(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()) * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit < 0x80) {
            bytes.push_back(static_cast<char>(unit));
        } else {
            if (QChar::isHighSurrogate(unit) && i + 1 < text.size() &&
                QChar::isLowSurrogate(text[i + 1].unicode())) {
                ++i;  // one character, not two
            }
            bytes.append("\xFE\xFE");
        }
    }
    return bytes;
}
