// The height lists of the dialogs: under each side's system lists in the
// main dialog (椭球高, EGM96, 选择模型文件…) and the 大地水准面模型 list of
// the calibration dialog (无, EGM96, 选择模型文件…). A model is opened when
// it is chosen and held while it stays chosen; one that does not open is
// refused there and then, with its name, and the list goes back to what it
// showed before. A grid file chosen with 选择模型文件… shows as an item of
// its own (its file name) until another file is chosen.
#pragma once

#include <QObject>
#include <QString>
#include <optional>

#include "workflow/geoid_model.h"

class QComboBox;
class QWidget;

// The items: kNoGeoidItem, kEgm96Item, then the chosen file (when there is
// one), then 选择模型文件….
inline constexpr int kNoGeoidItem = 0;
inline constexpr int kEgm96Item = 1;

class CGeoidChoice : public QObject {
    Q_OBJECT
public:
    // Takes over list (its items come from the dialog template); owner
    // parents the file picker.
    CGeoidChoice(QComboBox* list, QWidget* owner);

    // The model chosen; nothing for the first item.
    const std::optional<zelk::GeoidModel>& Model() const { return m_model; }
    // Shows a model as chosen (a calibration opened from a file); nothing:
    // the first item.
    void Select(const std::optional<zelk::GeoidModel>& model);
    // How lines name the choice: "EGM96", the file's name, or empty.
    QString Label() const;

signals:
    // The choice changed (a model opened, or the first item chosen).
    void changed();

private:
    void OnActivated(int index);
    bool HasFileItem() const;
    int PickItem() const;  // the item of 选择模型文件…
    void ShowFile(const zelk::GeoidModel& model);
    bool Take(zelk::GeoidModel model);

    QComboBox* m_list;
    QWidget* m_owner;
    std::optional<zelk::GeoidModel> m_model;
    std::optional<zelk::GeoidModel> m_file;  // the file of the file item, open
    int m_shown = kNoGeoidItem;  // the item of the model held
};

// The items of the lists: the first item's text, EGM96, 选择模型文件….
QStringList GeoidItems(const QString& none);
// The filter of the picker for grid files.
inline constexpr const char* kGeoidFileFilter =
    "大地水准面模型(*.gtx *.isg *.tif *.tiff)|*.gtx;*.isg;*.tif;*.tiff|所有文件(*)|*||";
