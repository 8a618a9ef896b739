#include "ui/qt_platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QThread>
#include <QTranslator>
#include <QStringDecoder>
#include <QUrl>

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
    std::size_t i = 0;
    while (i < text.size()) {
        if (const std::size_t n = Utf8Length(text, i)) {
            decoded += QString::fromUtf8(text.data() + i, static_cast<qsizetype>(n));
            i += n;
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

std::unique_ptr<QMessageBox> MakeMessageBox(const std::string& text, const std::string& caption,
                                            MessageIcon icon, QWidget* owner) {
    auto box = std::make_unique<QMessageBox>(
        icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Warning,
        DecodeMessageText(caption.empty() ? ApplicationName() : caption), DecodeMessageText(text),
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
    MakeMessageBox(text, caption, icon, owner)->exec();
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
