// The coordinate-system and zoning drop-downs of the dialogs: their items,
// and how each side of a dialog follows what is chosen in them.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <initializer_list>
#include <optional>

#include "workflow/coordinate_system.h"

class QComboBox;
class QWidget;

// The two orders of the system lists: the main dialog's and the calibration
// dialog's (the catalogue's), and the seven-parameter dialog's.
enum class SystemList { Main, Param };

// Every list holds, in this order: every catalogue entry (in the main
// dialog's order with its main labels; in the seven-parameter dialog's, the
// original six systems in the order that dialog always had and the later
// ones after them, with its labels there), then the systems of the user's
// own of this run of the program under their names, then 自定义坐标系…,
// which opens the system dialog. Where a system stands in a list is decided
// here and nowhere else.
QStringList SystemListItems(SystemList list);
QStringList MainListItems();
QStringList ParamListItems();
inline constexpr const char* kDefineSystemItem = "自定义坐标系…";

// What a list position holds: a catalogue entry, a system of the user's
// own, or 自定义坐标系… (define); nothing for -1 or a position outside.
struct SystemItem {
    const zelk::SystemEntry* entry = nullptr;
    const zelk::Crs* own = nullptr;  // valid for the rest of the run
    bool define = false;
    // The form of its system; nothing for define or nothing.
    std::optional<zelk::Form> FormOf() const;
};
SystemItem SystemItemAt(SystemList list, int index);

// The catalogue entry at a list index; nullptr for anything else.
const zelk::SystemEntry* MainListEntryAt(int index);
const zelk::SystemEntry* ParamListEntryAt(int index);
// The index of an entry in each list.
int MainListIndexOf(const zelk::SystemEntry& entry);
int ParamListIndexOf(const zelk::SystemEntry& entry);
// The index of 自定义坐标系… in a list.
int DefineItemIndex(SystemList list);

// The systems of the user's own, for this run of the program: a system of
// the same name as one already there replaces it (its position stays),
// another is added after them. The list index it has, the same in both
// orders.
int AddOwnSystem(const zelk::Crs& crs);
// The name a system of one's own shows under: its name, or for a system
// without one (UTM south from a parameters file) its description.
QString OwnSystemLabel(const zelk::Crs& crs);

// Gives a list the items SystemListItems says, keeping its selection.
void RefillSystemList(QComboBox* list, SystemList which);

// A system list of dialog (listId) was chosen from. When it shows
// 自定义坐标系…, the system dialog opens, on the system of one's own the
// side showed (previous) or on a new one; a system confirmed there joins
// every list (the lists listIds of dialog are refilled) and is chosen; a
// cancel puts the list back on previous. Nothing happens for other items.
void ChooseOwnSystemIfAsked(QWidget* dialog, SystemList which, int listId, int previous,
                            std::initializer_list<int> listIds);

// The zoning drop-down above each central-meridian field: the meridian
// typed into the field, 3- or 6-degree zones (Gauss-Kruger), or a UTM zone
// by number (UTM: 1N to 60N, then 1S to 60S, the meridian in the field
// greyed, S with the southern false northing). A side shows only the items
// of its system; the others are hidden.
QStringList ZoningItems();
inline constexpr int kZoningMeridianItem = 0;
inline constexpr int kFirstUtmZoneItem = 3;
inline constexpr int kZoningItemCount = kFirstUtmZoneItem + 120;
// The zoning of an item; an item outside the first three counts as the
// meridian.
zelk::Zoning ZoningOfItem(int item);
int ItemOfZoning(zelk::Zoning zoning);
// The UTM zone of an item, nothing for the others; and the item of a zone.
std::optional<zelk::UtmZone> UtmZoneOfItem(int item);
int ItemOfUtmZone(zelk::UtmZone zone);

// The system a side of a dialog shows: its entry with the zoning item and
// the meridian field's value, or the system of one's own as it is; nothing
// when no system is chosen.
std::optional<zelk::Crs> SideCrs(const SystemItem& item, int zoningItem, double meridian);
std::optional<zelk::Crs> SideCrs(const zelk::SystemEntry* entry, int zoningItem, double meridian);

// A system as a side of a dialog shows it: its list index (main list or
// seven-parameter list), zoning item and meridian. A system that is not the
// catalogue's with a meridian or zones (a system of one's own, UTM south)
// joins the systems of the user's own.
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
// dialog opens. Gauss-Kruger: the drop-down enabled (the meridian and
// 3- or 6-degree zones), the meridian field only on the meridian. UTM: the
// drop-down enabled (the meridian and the UTM zones), the meridian field only
// on the meridian. An item of the other projection goes back to the meridian. Geodetic and geocentric: both
// disabled, the drop-down keeping its item. A system of one's own: both
// disabled (it says its own meridian), the drop-down on the meridian.
// Heights above a geoid: geodetic and projected systems (a geocentric
// system and the local grid have none). Captions: x y Z (Z the height),
// B L H, X Y Z.
SideForm SideFormOf(const SystemItem& item, int zoningItem);
SideForm SideFormOf(const zelk::SystemEntry* entry, int zoningItem);

// Gives one side of dialog the form of entry: zoningItem set to what the
// drop-down shows, the drop-down (zoningId) and the meridian field
// (meridianId) enabled as the form says. Returns the form, whose captions
// the caller shows where it has them.
class CTemplateDialog;
// A system of one's own that is projected shows its meridian in the
// (disabled) field: meridian is set to it; so does a UTM zone. The
// drop-down shows only the items of the side's projection.
SideForm ApplySideForm(CTemplateDialog& dialog, const SystemItem& item, int& zoningItem, double& meridian,
                       int zoningId, int meridianId);
