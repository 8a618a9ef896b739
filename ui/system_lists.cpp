#include "ui/system_lists.h"

#include <QComboBox>
#include <QListView>
#include <QWidget>
#include <deque>
#include <iterator>

#include "ui/dialog_template.h"
#include "ui/system_def_dlg.h"
#include "workflow/chain.h"

using namespace zelk;

namespace {
// The zoning items in list order.
constexpr zelk::Zoning kZonings[] = {zelk::Zoning::Meridian, zelk::Zoning::Zone3, zelk::Zoning::Zone6};

int CatalogueCount() { return static_cast<int>(zelk::Systems().size()); }

// The seven-parameter list: catalogue (main-list) indices in its order.
constexpr int kParamOrder[] = {3, 2, 5, 4, 1, 0, 7, 6, 8, 9, 10, 11, 12};
static_assert(std::size(kParamOrder) == 13);

// The systems of the user's own of this run, after the catalogue in every
// list. A deque: the addresses handed out stay valid.
std::deque<zelk::Crs>& OwnSystems() {
    static std::deque<zelk::Crs> systems;
    return systems;
}

int OwnCount() { return static_cast<int>(OwnSystems().size()); }

QString Utf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
}  // namespace

std::optional<zelk::Form> SystemItem::FormOf() const {
    if (entry) return entry->form;
    if (own) return own->form;
    return std::nullopt;
}

QString OwnSystemLabel(const zelk::Crs& crs) {
    return Utf8(crs.name.empty() ? zelk::SystemText(crs) : crs.name);
}

QStringList SystemListItems(SystemList list) {
    QStringList items;
    for (int i = 0; i < CatalogueCount(); ++i) {
        const zelk::SystemEntry* entry = list == SystemList::Main ? MainListEntryAt(i) : ParamListEntryAt(i);
        items << QString::fromUtf8(list == SystemList::Main ? entry->mainLabel : entry->paramLabel);
    }
    for (const zelk::Crs& crs : OwnSystems()) items << OwnSystemLabel(crs);
    items << QString::fromUtf8(kDefineSystemItem);
    return items;
}

QStringList MainListItems() { return SystemListItems(SystemList::Main); }
QStringList ParamListItems() { return SystemListItems(SystemList::Param); }

const zelk::SystemEntry* MainListEntryAt(int index) {
    if (index < 0 || index >= CatalogueCount()) return nullptr;
    return &zelk::Systems()[static_cast<std::size_t>(index)];
}

const zelk::SystemEntry* ParamListEntryAt(int index) {
    if (index < 0 || index >= CatalogueCount() || index >= static_cast<int>(std::size(kParamOrder))) return nullptr;
    return MainListEntryAt(kParamOrder[index]);
}

SystemItem SystemItemAt(SystemList list, int index) {
    SystemItem item;
    if (index < 0) return item;
    if (index < CatalogueCount()) {
        item.entry = list == SystemList::Main ? MainListEntryAt(index) : ParamListEntryAt(index);
    } else if (index < CatalogueCount() + OwnCount()) {
        item.own = &OwnSystems()[static_cast<std::size_t>(index - CatalogueCount())];
    } else if (index == DefineItemIndex(list)) {
        item.define = true;
    }
    return item;
}

int MainListIndexOf(const zelk::SystemEntry& entry) { return static_cast<int>(&entry - zelk::Systems().data()); }

int ParamListIndexOf(const zelk::SystemEntry& entry) {
    const int main = MainListIndexOf(entry);
    for (int i = 0; i < static_cast<int>(std::size(kParamOrder)); ++i) {
        if (kParamOrder[i] == main) return i;
    }
    return -1;
}

int DefineItemIndex(SystemList) { return CatalogueCount() + OwnCount(); }

int AddOwnSystem(const zelk::Crs& crs) {
    std::deque<zelk::Crs>& systems = OwnSystems();
    const QString label = OwnSystemLabel(crs);
    for (std::size_t i = 0; i < systems.size(); ++i) {
        if (OwnSystemLabel(systems[i]) == label) {
            systems[i] = crs;
            return CatalogueCount() + static_cast<int>(i);
        }
    }
    systems.push_back(crs);
    return CatalogueCount() + OwnCount() - 1;
}

void RefillSystemList(QComboBox* list, SystemList which) {
    if (!list) return;
    const int chosen = list->currentIndex();
    const QStringList items = SystemListItems(which);
    // The catalogue and the systems already there keep their positions:
    // only the names change and the ones added come in before the last.
    const QSignalBlocker quiet(list);
    list->clear();
    list->addItems(items);
    list->setCurrentIndex(chosen < list->count() - 1 ? chosen : -1);
}

void ChooseOwnSystemIfAsked(QWidget* dialog, SystemList which, int listId, int previous,
                            std::initializer_list<int> listIds) {
    auto* list = qobject_cast<QComboBox*>(FindControl(dialog, listId));
    if (!list || !SystemItemAt(which, list->currentIndex()).define) return;
    const SystemItem shown = SystemItemAt(which, previous);
    CSystemDefDlg define(shown.own, dialog);
    if (define.DoModal() != kIdOk) {
        const QSignalBlocker quiet(list);
        list->setCurrentIndex(previous);
        return;
    }
    const int index = AddOwnSystem(define.System());
    for (const int id : listIds) RefillSystemList(qobject_cast<QComboBox*>(FindControl(dialog, id)), which);
    const QSignalBlocker quiet(list);
    list->setCurrentIndex(index);
}

std::optional<zelk::Crs> SideCrs(const SystemItem& item, int zoningItem, double meridian) {
    if (item.own) return *item.own;
    return SideCrs(item.entry, zoningItem, meridian);
}

std::optional<zelk::Crs> SideCrs(const zelk::SystemEntry* entry, int zoningItem, double meridian) {
    if (!entry) return std::nullopt;
    const zelk::Crs onMeridian = zelk::MakeCrs(*entry, zelk::Zoning::Meridian, meridian);
    if (onMeridian.IsUtm()) {
        const std::optional<zelk::UtmZone> zone = UtmZoneOfItem(zoningItem);
        return zone ? zelk::InUtmZone(onMeridian, *zone) : onMeridian;
    }
    return zelk::MakeCrs(*entry, ZoningOfItem(zoningItem), meridian);
}

namespace {
SideSelection Selection(const zelk::Crs& crs, bool mainList) {
    SideSelection side;
    // UTM south: the catalogue's UTM system in its zone.
    if (const std::optional<zelk::UtmZone> zone = zelk::UtmZoneOf(crs); zone && zone->south) {
        const zelk::SystemEntry& entry = *zelk::FindSystem(crs.datum, crs.form);
        side.system = mainList ? MainListIndexOf(entry) : ParamListIndexOf(entry);
        side.zoning = ItemOfUtmZone(*zone);
        side.meridian = crs.meridian;
        return side;
    }
    if (!crs.IsCatalogued()) {
        side.system = AddOwnSystem(crs);
        return side;
    }
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
    QStringList items{QStringLiteral("中央子午线(度.分秒)"), QStringLiteral("3度带(y含带号)"),
                      QStringLiteral("6度带(y含带号)")};
    for (int item = kFirstUtmZoneItem; item < kZoningItemCount; ++item) {
        const zelk::UtmZone zone = *UtmZoneOfItem(item);
        items << QStringLiteral("UTM %1%2 (%3°)")
                     .arg(zone.number)
                     .arg(zone.south ? QStringLiteral("S 南") : QStringLiteral("N 北"))
                     .arg(6 * zone.number - 183);
    }
    return items;
}

std::optional<zelk::UtmZone> UtmZoneOfItem(int item) {
    if (item < kFirstUtmZoneItem || item >= kZoningItemCount) return std::nullopt;
    const int index = item - kFirstUtmZoneItem;
    return zelk::UtmZone{index % 60 + 1, index >= 60};
}

int ItemOfUtmZone(zelk::UtmZone zone) {
    return kFirstUtmZoneItem + (zone.south ? 60 : 0) + zone.number - 1;
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

SideForm SideFormOf(const SystemItem& item, int zoningItem) {
    if (!item.own) return SideFormOf(item.entry, zoningItem);
    SideForm side;
    side.zoningEnabled = side.meridianEnabled = false;
    side.zoningItem = kZoningMeridianItem;
    switch (item.own->form) {
        case zelk::Form::Geodetic:
            side.captions = {QStringLiteral("B"), QStringLiteral("L"), QStringLiteral("H")};
            break;
        case zelk::Form::Geocentric:
            side.heightsEnabled = false;
            side.captions = {QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Z")};
            break;
        case zelk::Form::Projected:
        case zelk::Form::Local:
            side.captions = {QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("Z")};
            break;
    }
    return side;
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
        case zelk::Form::Projected: {
            // Each projection keeps only its own items.
            const bool utm = zelk::MakeCrs(*entry).IsUtm();
            const bool utmItem = UtmZoneOfItem(side.zoningItem).has_value();
            const bool gaussItem = ZoningOfItem(side.zoningItem) != zelk::Zoning::Meridian;
            if (utm ? gaussItem : utmItem) side.zoningItem = kZoningMeridianItem;
            side.meridianEnabled = side.zoningItem == kZoningMeridianItem;
            side.captions = {QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("Z")};
            break;
        }
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

SideForm ApplySideForm(CTemplateDialog& dialog, const SystemItem& item, int& zoningItem, double& meridian,
                       int zoningId, int meridianId) {
    const SideForm side = SideFormOf(item, zoningItem);
    zoningItem = side.zoningItem;
    if (item.own && item.own->IsProjected()) meridian = item.own->meridian;
    if (const std::optional<zelk::UtmZone> zone = UtmZoneOfItem(zoningItem)) meridian = 6 * zone->number - 183;
    if (auto* list = qobject_cast<QComboBox*>(dialog.GetDlgItem(zoningId))) {
        // The items of the other projection hidden (UTM zones only for UTM).
        const bool utm = !item.own && item.entry && zelk::MakeCrs(*item.entry).IsUtm() &&
                         item.entry->form == zelk::Form::Projected;
        if (auto* view = qobject_cast<QListView*>(list->view())) {
            for (int row = 0; row < list->count(); ++row) {
                const bool utmRow = UtmZoneOfItem(row).has_value();
                const bool gaussRow = ZoningOfItem(row) != zelk::Zoning::Meridian;
                view->setRowHidden(row, utm ? gaussRow : utmRow);
            }
        }
        list->setEnabled(side.zoningEnabled);
    }
    if (QWidget* field = dialog.GetDlgItem(meridianId)) field->setEnabled(side.meridianEnabled);
    return side;
}
