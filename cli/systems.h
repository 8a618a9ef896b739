// The names by which the command line names the six coordinate systems, and
// their places in the two dialog lists.
#pragma once

#include <optional>
#include <string_view>

#include "workflow/conversion.h"

struct SystemName {
    const char* name;  // e.g. "beijing54-gauss"
    CoordinateSystem system;
};

// The six names, in the main dialog's list order.
const SystemName* SystemNames();

std::optional<CoordinateSystem> SystemByName(std::string_view name);
const char* NameOfSystem(CoordinateSystem system);

// Index of the system in the main dialog's list (used by point and convert)
// and in the seven-parameter dialog's list (used by estimate).
int MainListIndex(CoordinateSystem system);
int ParamListIndex(CoordinateSystem system);
