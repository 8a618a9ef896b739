// The words that name the values of an enumeration in options and files,
// as a table: the name of a value and the value of a name, from one list.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace zelk {

template <class Enum>
struct NamedValue {
    std::string_view name;
    Enum value;
};

// The value a name stands for, or nothing for a name not in the table.
template <class Enum, std::size_t N>
std::optional<Enum> ValueNamed(const NamedValue<Enum> (&table)[N], std::string_view name) {
    for (const NamedValue<Enum>& entry : table) {
        if (entry.name == name) return entry.value;
    }
    return std::nullopt;
}

// The name of a value; the first entry's for a value not in the table.
template <class Enum, std::size_t N>
std::string_view NameOfValue(const NamedValue<Enum> (&table)[N], Enum value) {
    for (const NamedValue<Enum>& entry : table) {
        if (entry.value == value) return entry.name;
    }
    return table[0].name;
}

}  // namespace zelk
