// Helpers for the desktop program's tests: recorders standing in for the
// file pickers, the address opener and the beep, and ways to drive modal
// dialogs without ever blocking.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QElapsedTimer>
#include <QFile>
#include <QEventLoop>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/system_lists.h"
#include "ui/qt_platform.h"
#include "workflow/coordinate_system.h"

class RecordingPicker final : public IFilePicker {
public:
    RecordingPicker() : m_previous(SetFilePicker(this)) {}
    ~RecordingPicker() override { SetFilePicker(m_previous); }
    RecordingPicker(const RecordingPicker&) = delete;
    RecordingPicker& operator=(const RecordingPicker&) = delete;

    std::optional<QString> Pick(const FilePickRequest& request) override {
        requests.push_back(request);
        if (answers.empty()) return std::nullopt;  // cancelled
        std::optional<QString> answer = answers.front();
        answers.pop_front();
        return answer;
    }

    // The next answers, in order; nullopt = the user cancels.
    std::deque<std::optional<QString>> answers;
    std::vector<FilePickRequest> requests;

private:
    IFilePicker* m_previous;
};

class RecordingOpener final : public IAddressOpener {
public:
    explicit RecordingOpener(OpenResult result = kOpenSucceeded)
        : result(result), m_previous(SetAddressOpener(this)) {}
    ~RecordingOpener() override { SetAddressOpener(m_previous); }
    RecordingOpener(const RecordingOpener&) = delete;
    RecordingOpener& operator=(const RecordingOpener&) = delete;

    OpenResult Open(const QString& address) override {
        addresses.push_back(address);
        return result;
    }

    OpenResult result;
    std::vector<QString> addresses;

private:
    IAddressOpener* m_previous;
};

class RecordingBeeps final : public ISoundService {
public:
    RecordingBeeps() : m_previous(SetSoundService(this)) {}
    ~RecordingBeeps() override { SetSoundService(m_previous); }
    RecordingBeeps(const RecordingBeeps&) = delete;
    RecordingBeeps& operator=(const RecordingBeeps&) = delete;

    void Beep() override { ++count; }
    int count = 0;

private:
    ISoundService* m_previous;
};

// Lets the event loop run for about ms milliseconds.
// Drags a list of addresses onto a widget and drops them there, as a file
// manager does; true when the drop was taken.
inline bool Drop(QWidget* target, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

inline void WaitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Selects an item of a list as the user does: the selection changes and the
// dialog hears of it.
inline void SelectItem(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
}

// Runs action on the next modal dialog (or pop-up menu) that opens, from
// inside its own event loop. A dialog still open after a few seconds is
// rejected, so a failing test ends instead of hanging. Returns a flag that
// turns true once the action has run.
inline std::shared_ptr<bool> WhenModal(std::function<void(QWidget*)> action, bool popup = false) {
    auto ran = std::make_shared<bool>(false);
    QWidget* before = popup ? QApplication::activePopupWidget() : QApplication::activeModalWidget();
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget* now = popup ? QApplication::activePopupWidget() : QApplication::activeModalWidget();
        if (now && now != before && now->isVisible()) {
            timer->stop();
            timer->deleteLater();
            *ran = true;
            action(now);
            return;
        }
        if (clock->elapsed() > 5000) {
            timer->stop();
            timer->deleteLater();
            if (now) now->close();
        }
    });
    timer->start();
    return ran;
}

// Closes whatever modal dialog is open once it shows (a watchdog).
inline void CloseNextModal() {
    WhenModal([](QWidget* w) { w->close(); });
}

inline QString Text(QWidget* widget) {
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
    return widget ? widget->property("text").toString() : QString();
}

// A file's bytes ("<missing>" when it cannot be read), and bytes into a file.
inline std::string ReadFile(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return "<missing>";
    return file.readAll().toStdString();
}

inline void WriteFile(const QString& name, const std::string& text) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), static_cast<qint64>(text.size()));
}

// A system's place in the main list and in the seven-parameter list.
inline int MainIndex(const char* name) { return MainListIndexOf(*zelk::FindSystem(name)); }
inline int ParamIndex(const char* name) { return ParamListIndexOf(*zelk::FindSystem(name)); }
