// The coordinate-system and zoning drop-downs of the two dialogs: their
// items, and how each side of a dialog follows what is chosen in them.
#pragma once

#include <QString>
#include <QStringList>
#include <array>

#include "workflow/coordinate_system.h"

// Every catalogue entry: in the main dialog's order with its main labels,
// and in the seven-parameter dialog's order with its labels there.
QStringList MainListItems();
QStringList ParamListItems();

// The entry at a list index; nullptr for -1 (nothing chosen) or an index
// outside the list.
const zelk::SystemEntry* MainListEntryAt(int index);
const zelk::SystemEntry* ParamListEntryAt(int index);

// The zoning drop-down above each central-meridian field: the meridian
// typed into the field, or 3- or 6-degree zones.
QStringList ZoningItems();
inline constexpr int kZoningMeridianItem = 0;
// The zoning of an item; an item outside the list counts as the meridian.
zelk::Zoning ZoningOfItem(int item);
int ItemOfZoning(zelk::Zoning zoning);

// One side of a dialog as its system and zoning item make it.
struct SideForm {
    bool zoningEnabled = true;   // the zoning drop-down
    bool meridianEnabled = true; // the central-meridian field
    int zoningItem = kZoningMeridianItem;  // what the drop-down shows
    std::array<QString, 3> captions;       // of the three number fields
};

// Nothing chosen (nullptr): everything enabled, captions x y z, as when the
// dialog opens. Gauss-Kruger: the drop-down enabled, the meridian field only
// on the meridian. UTM: the drop-down back on the meridian and disabled,
// since UTM has no 3- or 6-degree zones here. Geodetic and geocentric: both
// disabled, the drop-down keeping its item. Captions: x y Z (Z the height),
// B L H, X Y Z.
SideForm SideFormOf(const zelk::SystemEntry* entry, int zoningItem);

// Gives one side of dialog the form of entry: zoningItem set to what the
// drop-down shows, the drop-down (zoningId) and the meridian field
// (meridianId) enabled as the form says. Returns the form, whose captions
// the caller shows where it has them.
class CTemplateDialog;
SideForm ApplySideForm(CTemplateDialog& dialog, const zelk::SystemEntry* entry, int& zoningItem, int zoningId,
                       int meridianId);
