// Parameters files in the dialogs: the picker, the messages about a file
// that cannot be read or written, and the systems a file names as the
// dialogs' list selections.
#pragma once

#include <QString>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "workflow/parameter_file.h"

// The open or save picker for "*.params" files (the save picker asks before
// replacing a file and adds ".params" to a name without a suffix).
std::optional<QString> PickParamsFile(bool open, QWidget* owner);

// The picker, then the file read on a worker thread (ui/background_run.h);
// nothing (a problem shown) when the user chose none, gave up waiting, or
// it cannot be read, a file that is not a regular file included. path
// receives the file chosen.
class CTemplateDialog;
std::optional<zelk::Transformation> OpenParamsFile(CTemplateDialog* owner, QString& path);

// Saves calibration as a parameters file on a worker thread; false (the
// problem shown) when it could not be written.
bool SaveParamsFile(CTemplateDialog* owner, const QString& path, const zelk::Transformation& calibration,
                    const std::string& comment);

// The picker, then every step of a parameters or chain file, each named by
// the file's name (a chain's steps "name [step N]"); nothing (a problem
// shown) when the user chose none or it cannot be read.
std::optional<std::vector<zelk::Transformation>> OpenStepsFile(QWidget* owner, QString& path);
// The comment of a chain saved at path (workflow's ChainComment).
std::string ChainComment(const std::vector<zelk::Transformation>& steps, const QString& path);

// "参数文件无法读取：" or "参数文件无法保存：" and the reason, as an error box.
void ShowParamsReadProblem(const std::string& reason);
void ShowParamsWriteProblem(const std::string& reason);

// The last comment line of a saved file: how zelk-cli uses it.
std::string UseItAsLine(const QString& path);

