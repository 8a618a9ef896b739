// The desktop services the dialogs use, each behind a small interface that
// tests replace with a recorder: the modal message box (binding the core's
// message service), the open and save file pickers, opening an address and
// the default beep. Every Set... function returns the previous service;
// nullptr restores the real one.
#pragma once

#include <QCursor>
#include <QString>
#include <QWidget>
#include <memory>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "platform/message_box.h"

// The message service as a real modal box: information, warning or error
// icon, one OK button, the caption, owned by the active window; returns once
// closed. A long message is shown in a scrolling field (MakeReportBox).
// Shown on the thread of the user interface only.
class QtMessageService final : public zelk::IMessageService {
public:
    void Show(const std::string& text, const std::string& caption, zelk::MessageIcon icon) override;
};

class QDialog;
class QMessageBox;
// The box QtMessageService shows, not yet shown. An empty caption becomes
// the application's name.
std::unique_ptr<QMessageBox> MakeMessageBox(const std::string& text, const std::string& caption,
                                            zelk::MessageIcon icon, QWidget* owner);
// A message too long for a box (an estimation report that lists every
// pair): more than kLongMessageLines lines or kLongMessageBytes bytes.
inline constexpr int kLongMessageLines = 30;
inline constexpr std::size_t kLongMessageBytes = 4000;
bool IsLongMessage(const std::string& text);
// The box QtMessageService shows for a long message: the icon, the text in
// a scrolling field of bounded size (at most about two thirds of the
// screen) and 确定.
std::unique_ptr<QDialog> MakeReportBox(const std::string& text, const std::string& caption,
                                       zelk::MessageIcon icon, QWidget* owner);

// Loads Qt's own Chinese texts (standard buttons, file pickers, their
// questions) from qtbase_zh_CN.qm in folder, Qt's translations folder when
// empty, and installs them into the application. False, and Qt speaks
// English, when the file is missing.
class QTranslator;
bool InstallQtTranslation(QTranslator& translator, const QString& folder = QString());

// A message's bytes as text. Messages are UTF-8, but one may quote a token
// from a point file written in the Chinese code page (GBK / GB18030): bytes
// that are not UTF-8 are read in that code page.
QString DecodeMessageText(const std::string& text);

struct FilePickRequest {
    bool open = true;  // open picker; false: save picker
    // Filters as "description|pattern|description|pattern||".
    QString filter;
    QString defaultSuffix;       // added to a typed name without a suffix
    bool hideReadOnly = true;    // no read-only check box
    bool overwritePrompt = true; // the save picker asks before an existing file
    QString directory;           // where the picker starts; empty: where it likes
    QWidget* owner = nullptr;
};

class IFilePicker {
public:
    virtual ~IFilePicker() = default;
    // The full path of the chosen file, or nothing when cancelled.
    virtual std::optional<QString> Pick(const FilePickRequest& request) = 0;
};

IFilePicker& FilePicker();
// Asks through FilePicker for a file to open or to save (which asks before
// an existing file), with the filter and the suffix a typed name without
// one gets (none: nullptr); nothing when cancelled.
std::optional<QString> AskForFile(bool open, const char* filter, const char* suffix,
                                  QWidget* owner);
IFilePicker* SetFilePicker(IFilePicker* picker);

// Results of opening an address: greater than 32 means it opened.
using OpenResult = std::intptr_t;
inline constexpr OpenResult kOpenSucceeded = 33;
inline constexpr OpenResult kOpenFailed = 2;  // the address was not found
inline constexpr bool OpenSucceeded(OpenResult result) { return result > 32; }

class IAddressOpener {
public:
    virtual ~IAddressOpener() = default;
    virtual OpenResult Open(const QString& address) = 0;
};

IAddressOpener& AddressOpener();
IAddressOpener* SetAddressOpener(IAddressOpener* opener);

class ISoundService {
public:
    virtual ~ISoundService() = default;
    virtual void Beep() = 0;
};

ISoundService& SoundService();
ISoundService* SetSoundService(ISoundService* sound);

// The pointing-hand cursor, or nothing where the platform has none.
std::optional<QCursor> LoadHandCursor();

// "a|b|c|d||" as name filters of the file dialog: "a (b)", "c (d)".
QStringList NameFiltersFromPairs(const QString& filter);

// File names between Qt's strings and the core's paths.
std::filesystem::path ToPath(const QString& fileName);
QString FromPath(const std::filesystem::path& path);

// The text of a widget as the 8-bit code page holds it, for the number
// rules that look at bytes: ASCII as it is, any other character as two
// bytes that are neither blanks nor digits.
std::string CodePageBytes(const QString& text);
