// Work a dialog hands to a worker thread, so that its window never waits
// for a file or a long computation: a file conversion, an estimation, the
// reading of a parameters or common-point file.
//
// While the work runs the dialog's controls are disabled and it cannot be
// closed; the event loop runs on. After half a second a progress window
// shows what is being done (the points so far, the points per second and
// the share of the input read, when the work counts them) with 取消, read
// from the work's counters by a timer ten times a second. 取消 asks the work
// to stop; when it has not stopped within kGiveUpMs (its read has stalled:
// a named pipe nobody writes to, a share that does not answer), the dialog
// gives up on it and goes on, and the work ends unseen in the background.
// So everything the work uses must be its own: captured by value or shared.
#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <memory>
#include <string>

#include "workflow/estimation_run.h"

class CTemplateDialog;

// Written by the work, read by the progress window's timer.
struct BackgroundProgress {
    std::atomic<bool> cancel{false};            // 取消 was pressed
    std::atomic<std::uint64_t> points{0};       // points done so far (counting work)
    std::atomic<std::uint64_t> bytesRead{0};    // of the input
    std::atomic<std::uint64_t> inputBytes{0};   // the input's size; 0 when unknown
};

struct BackgroundTask {
    QString title;   // the progress window's caption, e.g. "正在转换文件"
    // The window's line for work that counts no points (e.g. "正在解算…");
    // empty: the points so far and the points per second.
    QString activity;
    // On the worker thread.
    std::function<void(BackgroundProgress&)> work;
    // 取消 was pressed and the work is still running after kGiveUpMs: true
    // gives it up, false waits on (and asks again later). Without it the
    // work is given up.
    std::function<bool()> giveUp;
};

// How long the work may take to stop after 取消 before it is given up.
inline constexpr int kGiveUpMs = 600;

enum class BackgroundEnd {
    Done,     // the work ran to its end
    GivenUp,  // cancelled and not waited for; it ends in the background
};

// Runs task.work on a worker thread and returns when it has ended or has
// been given up. Call on the thread of the interface.
BackgroundEnd RunInBackground(CTemplateDialog& owner, BackgroundTask task);

// Runs work (a callable returning Result) on a worker thread as
// RunInBackground does, under a progress window captioned title with the
// line activity: its result, or nothing when the user gave up waiting.
template <typename Result, typename Work>
std::optional<Result> InBackground(CTemplateDialog& owner, const QString& title, const QString& activity,
                                   Work work) {
    auto result = std::make_shared<std::optional<Result>>();
    BackgroundTask task;
    task.title = title;
    task.activity = activity;
    task.work = [result, work](BackgroundProgress&) mutable { *result = work(); };
    if (RunInBackground(owner, std::move(task)) != BackgroundEnd::Done) return std::nullopt;
    return std::move(*result);
}

// Why a file the dialogs read cannot be read without waiting on something
// other than a disk: the empty text for a regular file (or a link to one),
// else "“NAME”不是普通文件…" naming what it is. A file that does not exist
// passes here and fails where it is opened.
std::string NotRegularFileText(const std::filesystem::path& path);

// An estimation from two common-point files, for a worker thread: refused
// (a read problem naming the file) when either is not a regular file, else
// RunEstimation.
zelk::EstimationRun RunFileEstimation(const zelk::EstimationRequest& request);
