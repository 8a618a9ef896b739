#include "ui/parameter_files.h"

#include <QFileInfo>

#include "platform/message_box.h"
#include "ui/background_run.h"
#include "ui/dialog_template.h"
#include "ui/qt_platform.h"
#include "ui/system_lists.h"
#include "ui/templates.h"
#include "workflow/conversion_run.h"
#include "workflow/parameter_file.h"

using namespace zelk;

std::optional<QString> PickParamsFile(bool open, QWidget* owner) {
    return AskForFile(open, kParamsFileFilter, kParamsFileSuffix, owner);
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

std::optional<Transformation> OpenParamsFile(CTemplateDialog* owner, QString& path) {
    const std::optional<QString> picked = PickParamsFile(true, owner);
    if (!picked) return std::nullopt;
    path = *picked;
    struct Read {
        std::optional<Transformation> calibration;
        std::string error;
    };
    const std::filesystem::path file = ToPath(path);
    const std::optional<Read> read =
        InBackground<Read>(*owner, QStringLiteral("正在读取参数文件"), QStringLiteral("正在读取参数文件…"), [file] {
            Read r;
            r.error = NotRegularFileText(file);
            if (r.error.empty()) r.calibration = ReadParametersFile(file, r.error);
            return r;
        });
    if (!read) return std::nullopt;
    std::optional<Transformation> calibration = read->calibration;
    if (!calibration) {
        ShowParamsReadProblem(read->error);
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

bool SaveParamsFile(CTemplateDialog* owner, const QString& path, const Transformation& calibration,
                    const std::string& comment) {
    const std::filesystem::path file = ToPath(path);
    const std::optional<std::string> error = InBackground<std::string>(
        *owner, QStringLiteral("正在保存参数文件"), QStringLiteral("正在保存参数文件…"), [file, calibration, comment] {
            std::string problem;
            if (!SaveParametersFile(file, calibration, comment, problem) && problem.empty()) problem = "?";
            return problem;
        });
    // Given up: whatever the write does, it writes through a temporary file.
    if (!error) return false;
    if (!error->empty()) {
        ShowParamsWriteProblem(*error);
        return false;
    }
    return true;
}

std::optional<std::vector<Transformation>> OpenStepsFile(QWidget* owner, QString& path) {
    const std::optional<QString> picked = PickParamsFile(true, owner);
    if (!picked) return std::nullopt;
    path = *picked;
    // A named pipe or a device would hold the window until it answers.
    std::string error = NotRegularFileText(ToPath(path));
    std::optional<std::vector<Transformation>> steps =
        error.empty() ? ReadStepsFile(ToPath(path), error) : std::nullopt;
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
