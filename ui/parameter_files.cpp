#include "ui/parameter_files.h"

#include <QFileInfo>

#include "platform/message_box.h"
#include "ui/qt_platform.h"
#include "ui/system_lists.h"
#include "ui/templates.h"
#include "workflow/conversion_run.h"
#include "workflow/parameter_file.h"

using namespace zelk;

std::optional<QString> PickParamsFile(bool open, QWidget* owner) {
    FilePickRequest request;
    request.open = open;
    request.filter = QString::fromUtf8(kParamsFileFilter);
    request.defaultSuffix = QString::fromLatin1(kParamsFileSuffix);
    request.hideReadOnly = true;
    request.overwritePrompt = true;
    request.owner = owner;
    return FilePicker().Pick(request);
}

void ShowParamsReadProblem(const std::string& reason) {
    ShowMessage("参数文件无法读取：\n" + reason, kReadFileCaption, MessageIcon::Error);
}

void ShowParamsWriteProblem(const std::string& reason) {
    ShowMessage("参数文件无法保存：\n" + reason, kWriteFileCaption, MessageIcon::Error);
}

std::string UseItAsLine(const QString& path) {
    return "Use it as: zelk-cli convert --params @" + QFileInfo(path).fileName().toStdString() + " ...";
}

std::optional<Transformation> OpenParamsFile(QWidget* owner, QString& path) {
    const std::optional<QString> picked = PickParamsFile(true, owner);
    if (!picked) return std::nullopt;
    path = *picked;
    std::string error;
    std::optional<Transformation> calibration = ReadParametersFile(ToPath(path), error);
    if (!calibration) {
        ShowParamsReadProblem(error);
        return calibration;
    }
    // Messages about it name the file as the status line does.
    calibration->source = QFileInfo(path).fileName().toStdString();
    // Values a surveyor seldom means: opened all the same, with a warning.
    std::string warnings;
    for (const std::string& warning : ParameterWarnings(*calibration, calibration->source)) {
        warnings += (warnings.empty() ? "" : "\n") + warning;
    }
    if (!warnings.empty()) ShowMessage(warnings, ApplicationName(), MessageIcon::Warning);
    return calibration;
}

std::optional<std::vector<Transformation>> OpenStepsFile(QWidget* owner, QString& path) {
    const std::optional<QString> picked = PickParamsFile(true, owner);
    if (!picked) return std::nullopt;
    path = *picked;
    std::string error;
    std::optional<std::vector<Transformation>> steps = ReadStepsFile(ToPath(path), error);
    if (!steps) {
        ShowParamsReadProblem(error);
        return steps;
    }
    // Named by the file's name, and a chain's steps by their place in it.
    const std::string name = QFileInfo(path).fileName().toStdString();
    for (std::size_t k = 0; k < steps->size(); ++k) {
        (*steps)[k].source = steps->size() == 1 ? name : name + " [step " + std::to_string(k + 1) + "]";
    }
    return steps;
}

std::string ChainComment(const std::vector<Transformation>& steps, const QString& path) {
    return ChainComment(steps, QFileInfo(path).fileName().toStdString());
}
