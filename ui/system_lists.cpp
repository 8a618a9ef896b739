#include "ui/system_lists.h"

#include <QWidget>
#include <iterator>

#include "ui/dialog_template.h"

using namespace zelk;

namespace {
// The zoning items in list order.
constexpr zelk::Zoning kZonings[] = {zelk::Zoning::Meridian, zelk::Zoning::Zone3, zelk::Zoning::Zone6};

int SystemCount() { return static_cast<int>(zelk::Systems().size()); }

// The seven-parameter list: catalogue (main-list) indices in its order.
constexpr int kParamOrder[] = {3, 2, 5, 4, 1, 0, 7, 6, 8, 9, 10, 11, 12};
static_assert(std::size(kParamOrder) == 13);
}  // namespace

QStringList MainListItems() {
    QStringList items;
    for (const zelk::SystemEntry& entry : zelk::Systems()) items << QString::fromUtf8(entry.mainLabel);
    return items;
}

QStringList ParamListItems() {
    QStringList items;
    for (int i = 0; i < SystemCount(); ++i) items << QString::fromUtf8(ParamListEntryAt(i)->paramLabel);
    return items;
}

const zelk::SystemEntry* MainListEntryAt(int index) {
    if (index < 0 || index >= SystemCount()) return nullptr;
    return &zelk::Systems()[static_cast<std::size_t>(index)];
}

const zelk::SystemEntry* ParamListEntryAt(int index) {
    if (index < 0 || index >= SystemCount() || index >= static_cast<int>(std::size(kParamOrder))) return nullptr;
    return MainListEntryAt(kParamOrder[index]);
}

int MainListIndexOf(const zelk::SystemEntry& entry) { return static_cast<int>(&entry - zelk::Systems().data()); }

int ParamListIndexOf(const zelk::SystemEntry& entry) {
    const int main = MainListIndexOf(entry);
    for (int i = 0; i < static_cast<int>(std::size(kParamOrder)); ++i) {
        if (kParamOrder[i] == main) return i;
    }
    return -1;
}

std::optional<zelk::Crs> SideCrs(const zelk::SystemEntry* entry, int zoningItem, double meridian) {
    if (!entry) return std::nullopt;
    return zelk::MakeCrs(*entry, ZoningOfItem(zoningItem), meridian);
}

namespace {
SideSelection Selection(const zelk::Crs& crs, bool mainList) {
    SideSelection side;
    if (const zelk::SystemEntry* entry = zelk::FindSystem(crs.datum, crs.form)) {
        side.system = mainList ? MainListIndexOf(*entry) : ParamListIndexOf(*entry);
    }
    side.zoning = ItemOfZoning(crs.zoning);
    side.meridian = crs.meridian;
    return side;
}
}  // namespace

SideSelection MainListSelection(const zelk::Crs& crs) { return Selection(crs, true); }
SideSelection ParamListSelection(const zelk::Crs& crs) { return Selection(crs, false); }

QStringList ZoningItems() {
    return {QStringLiteral("中央子午线(度.分秒)"), QStringLiteral("3度带(y含带号)"),
            QStringLiteral("6度带(y含带号)")};
}

zelk::Zoning ZoningOfItem(int item) {
    if (item < 0 || item >= static_cast<int>(std::size(kZonings))) return zelk::Zoning::Meridian;
    return kZonings[item];
}

int ItemOfZoning(zelk::Zoning zoning) {
    for (int i = 0; i < static_cast<int>(std::size(kZonings)); ++i) {
        if (kZonings[i] == zoning) return i;
    }
    return kZoningMeridianItem;
}

SideForm SideFormOf(const zelk::SystemEntry* entry, int zoningItem) {
    SideForm side;
    side.zoningItem = zoningItem;
    if (!entry) {
        side.meridianEnabled = ZoningOfItem(zoningItem) == zelk::Zoning::Meridian;
        side.captions = {QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")};
        return side;
    }
    switch (entry->form) {
        case zelk::Form::Projected:
            if (zelk::MakeCrs(*entry).IsUtm()) {
                side.zoningEnabled = false;
                side.zoningItem = kZoningMeridianItem;
            }
            side.meridianEnabled = ZoningOfItem(side.zoningItem) == zelk::Zoning::Meridian;
            side.captions = {QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("Z")};
            break;
        case zelk::Form::Geodetic:
            side.zoningEnabled = side.meridianEnabled = false;
            side.captions = {QStringLiteral("B"), QStringLiteral("L"), QStringLiteral("H")};
            break;
        case zelk::Form::Geocentric:
            side.zoningEnabled = side.meridianEnabled = side.heightsEnabled = false;
            side.captions = {QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Z")};
            break;
        case zelk::Form::Local:
            // A site grid: no meridian, no zones, no latitude for a geoid.
            side.zoningEnabled = side.meridianEnabled = side.heightsEnabled = false;
            side.captions = {QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("Z")};
            break;
    }
    return side;
}

SideForm ApplySideForm(CTemplateDialog& dialog, const zelk::SystemEntry* entry, int& zoningItem, int zoningId,
                       int meridianId) {
    const SideForm side = SideFormOf(entry, zoningItem);
    zoningItem = side.zoningItem;
    if (QWidget* list = dialog.GetDlgItem(zoningId)) list->setEnabled(side.zoningEnabled);
    if (QWidget* field = dialog.GetDlgItem(meridianId)) field->setEnabled(side.meridianEnabled);
    return side;
}
