#include "workflow/geoid_model.h"

#include <filesystem>
#include <system_error>

#include "grids/geoid_grid.h"

namespace zelk {

GeoidModel OpenGeoidModel(const std::string& nameOrPath, const std::string& base) {
    GeoidModel model;
    model.name = nameOrPath;
    if (nameOrPath.empty()) {
        model.problem = "no geoid model named (a model name such as egm96, or a grid file)";
        return model;
    }
    std::string opened = nameOrPath;
    if (!base.empty() && !grids::IsModelName(nameOrPath)) {
        const std::filesystem::path path(nameOrPath);
        if (path.is_relative()) opened = (std::filesystem::path(base) / path).lexically_normal().string();
        model.name = opened;
    }
    std::unique_ptr<grids::GeoidGrid> grid = grids::OpenModel(opened, model.problem);
    if (grid) {
        model.grid = std::move(grid);
        model.problem.clear();
    } else if (model.problem.empty()) {
        model.problem = opened + ": cannot be opened as a geoid grid";
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
    const std::string file = std::filesystem::path(std::string(nameOrPath)).filename().string();
    return file.empty() ? std::string(nameOrPath) : file;
}

std::string GeoidFileValue(std::string_view nameOrPath) {
    const std::string value(nameOrPath);
    if (grids::IsModelName(value)) return value;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(value, error);
    return error ? value : absolute.lexically_normal().string();
}

std::string GeoidProblemText(const GeoidModel& model, std::string_view where) {
    return std::string(where) + "所用的大地水准面模型“" + GeoidLabel(model.name) +
           "”无法使用：" + (model.problem.empty() ? std::string("没有打开") : model.problem);
}

}  // namespace zelk
