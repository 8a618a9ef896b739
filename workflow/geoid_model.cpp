#include "workflow/geoid_model.h"

#include <filesystem>
#include <system_error>

#include "grids/geoid_grid.h"
#include "platform/files.h"

namespace zelk {

GeoidModel OpenGeoidModel(const std::string& nameOrPath, const std::string& base) {
    GeoidModel model;
    model.name = nameOrPath;
    if (nameOrPath.empty()) {
        model.problem = "no geoid model named (a model name such as egm96, or a grid file)";
        return model;
    }
    std::unique_ptr<grids::GeoidGrid> grid;
    if (grids::IsModelName(nameOrPath)) {
        grid = grids::OpenModel(nameOrPath, model.problem);
    } else {
        std::filesystem::path path = platform::PathFromUtf8(nameOrPath);
        if (!base.empty() && path.is_relative()) {
            path = (platform::PathFromUtf8(base) / path).lexically_normal();
            model.name = platform::PathText(path);
        }
        grid = grids::GeoidGrid::Open(path, model.problem);
    }
    if (grid) {
        model.grid = std::move(grid);
        model.problem.clear();
    } else if (model.problem.empty()) {
        model.problem = model.name + ": cannot be opened as a geoid grid";
    }
    return model;
}

bool IsKnownGeoidModel(std::string_view name) { return grids::IsModelName(name); }

std::string GeoidLabel(std::string_view nameOrPath) {
    if (grids::IsModelName(nameOrPath)) {
        std::string label(nameOrPath);
        for (char& c : label) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        return label;
    }
    const std::string file = platform::PathText(platform::PathFromUtf8(nameOrPath).filename());
    return file.empty() ? std::string(nameOrPath) : file;
}

std::string GeoidFileValue(std::string_view nameOrPath) {
    if (grids::IsModelName(nameOrPath)) return std::string(nameOrPath);
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(platform::PathFromUtf8(nameOrPath), error);
    return error ? std::string(nameOrPath) : platform::PathText(absolute.lexically_normal());
}

std::string GeoidProblemText(const GeoidModel& model, std::string_view where) {
    return std::string(where) + "所用的大地水准面模型“" + GeoidLabel(model.name) +
           "”无法使用：" + (model.problem.empty() ? std::string("没有打开") : model.problem);
}

}  // namespace zelk
