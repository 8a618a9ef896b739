#include "ui/qt_platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

void QtMessageService::Show(const std::string& text, const std::string& caption, MessageIcon icon) {
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner) owner = QApplication::activeWindow();
    QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Warning,
                    QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok,
                    owner);
    box.setTextFormat(Qt::PlainText);
    if (!owner) box.setWindowModality(Qt::ApplicationModal);
    box.exec();
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

std::filesystem::path ToPath(const QString& fileName) {
#ifdef Q_OS_WIN
    return std::filesystem::path(fileName.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(fileName).toStdString());
#endif
}

QString FromPath(const std::filesystem::path& path) {
#ifdef Q_OS_WIN
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
