// The coordinate-system and zoning drop-downs of the two dialogs: their
// items, and how each side of a dialog follows what is chosen in them.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

#include "workflow/coordinate_system.h"

// Every catalogue entry: in the main dialog's order (the catalogue's) with
// its main labels, and in the seven-parameter dialog's order (the original
// six systems in the order that dialog always had, the later ones after
// them) with its labels there. Where a system stands in a list is decided
// here and nowhere else.
QStringList MainListItems();
QStringList ParamListItems();

// The entry at a list index; nullptr for -1 (nothing chosen) or an index
// outside the list.
const zelk::SystemEntry* MainListEntryAt(int index);
const zelk::SystemEntry* ParamListEntryAt(int index);
// The index of an entry in each list.
int MainListIndexOf(const zelk::SystemEntry& entry);
int ParamListIndexOf(const zelk::SystemEntry& entry);

// The zoning drop-down above each central-meridian field: the meridian
// typed into the field, or 3- or 6-degree zones.
QStringList ZoningItems();
inline constexpr int kZoningMeridianItem = 0;
// The zoning of an item; an item outside the list counts as the meridian.
zelk::Zoning ZoningOfItem(int item);
int ItemOfZoning(zelk::Zoning zoning);

// The system a side of a dialog shows: its entry with the zoning item and
// the meridian field's value; nothing when no system is chosen.
std::optional<zelk::Crs> SideCrs(const zelk::SystemEntry* entry, int zoningItem, double meridian);

// A system as a side of a dialog shows it: its list index (main list or
// seven-parameter list), zoning item and meridian.
struct SideSelection {
    int system = -1;
    int zoning = 0;
    double meridian = 0.0;
};
SideSelection MainListSelection(const zelk::Crs& crs);
SideSelection ParamListSelection(const zelk::Crs& crs);
// Into the three members a dialog keeps for one side.
inline void AssignSide(const SideSelection& side, int& system, int& zoning, double& meridian) {
    system = side.system;
    zoning = side.zoning;
    meridian = side.meridian;
}

// One side of a dialog as its system and zoning item make it.
struct SideForm {
    bool zoningEnabled = true;   // the zoning drop-down
    bool meridianEnabled = true; // the central-meridian field
    bool heightsEnabled = true;  // the height list: geodetic and projected only
    int zoningItem = kZoningMeridianItem;  // what the drop-down shows
    std::array<QString, 3> captions;       // of the three number fields
};

// Nothing chosen (nullptr): everything enabled, captions x y z, as when the
// dialog opens. Gauss-Kruger: the drop-down enabled, the meridian field only
// on the meridian. UTM: the drop-down back on the meridian and disabled,
// since UTM has no 3- or 6-degree zones here. Geodetic and geocentric: both
// disabled, the drop-down keeping its item. Heights above a geoid:
// geodetic and projected systems (a geocentric system and the local grid
// have none). Captions: x y Z (Z the height),
// B L H, X Y Z.
SideForm SideFormOf(const zelk::SystemEntry* entry, int zoningItem);

// Gives one side of dialog the form of entry: zoningItem set to what the
// drop-down shows, the drop-down (zoningId) and the meridian field
// (meridianId) enabled as the form says. Returns the form, whose captions
// the caller shows where it has them.
class CTemplateDialog;
SideForm ApplySideForm(CTemplateDialog& dialog, const zelk::SystemEntry* entry, int& zoningItem, int zoningId,
                       int meridianId);
