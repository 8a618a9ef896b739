#include "ui/geoid_choice.h"

#include <QComboBox>
#include <QFileInfo>
#include <QWidget>

#include "platform/files.h"
#include "platform/message_box.h"
#include "ui/background_run.h"
#include "ui/qt_platform.h"
#include "workflow/conversion_run.h"

using namespace zelk;

QStringList GeoidItems(const QString& none) {
    return {none, QStringLiteral("EGM96"), QStringLiteral("选择模型文件…")};
}

CGeoidChoice::CGeoidChoice(QComboBox* list, QWidget* owner) : QObject(owner), m_list(list), m_owner(owner) {
    m_list->setToolTip(QStringLiteral("高程的基准：椭球高（GNSS 给出的），或大地水准面模型之上的高程 H = h − N"));
    m_list->setCurrentIndex(kNoGeoidItem);
    connect(m_list, &QComboBox::activated, this, &CGeoidChoice::OnActivated);
}

bool CGeoidChoice::HasFileItem() const { return m_list->count() > 3; }
int CGeoidChoice::PickItem() const { return m_list->count() - 1; }

QString CGeoidChoice::Label() const {
    return m_model ? QString::fromStdString(GeoidLabel(m_model->name)) : QString();
}

void CGeoidChoice::ShowFile(const GeoidModel& model) {
    m_file = model;
    const QString name = QFileInfo(FromPath(platform::PathFromUtf8(model.name))).fileName();
    if (HasFileItem()) {
        m_list->setItemText(2, name);
    } else {
        m_list->insertItem(2, name);
    }
    m_list->setItemData(2, FromPath(platform::PathFromUtf8(model.name)), Qt::ToolTipRole);
    m_shown = 2;
}

bool CGeoidChoice::Take(GeoidModel model) {
    if (!model.IsOpen()) {
        ShowMessage(GeoidProblemText(model, "高程"), kSettingCaption, MessageIcon::Warning);
        m_list->setCurrentIndex(m_shown);
        return false;
    }
    m_model = std::move(model);
    return true;
}

void CGeoidChoice::Select(const std::optional<GeoidModel>& model) {
    m_model = model;
    if (!model) {
        m_shown = kNoGeoidItem;
    } else if (IsKnownGeoidModel(model->name)) {
        m_shown = kEgm96Item;
    } else {
        ShowFile(*model);
    }
    m_list->setCurrentIndex(m_shown);
}

void CGeoidChoice::OnActivated(int index) {
    if (index == kNoGeoidItem) {
        m_model.reset();
        m_shown = kNoGeoidItem;
    } else if (index == kEgm96Item) {
        if (!Take(OpenGeoidModel("egm96"))) return;
        m_shown = kEgm96Item;
    } else if (index == PickItem()) {
        FilePickRequest request;
        request.filter = QString::fromUtf8(kGeoidFileFilter);
        request.owner = m_owner;
        if (m_file) request.directory = QFileInfo(FromPath(platform::PathFromUtf8(m_file->name))).absolutePath();
        const std::optional<QString> chosen = FilePicker().Pick(request);
        if (!chosen) {
            m_list->setCurrentIndex(m_shown);
            return;
        }
        // A named pipe or a device would hold the window until it answers.
        if (const std::string refused = NotRegularFileText(ToPath(*chosen)); !refused.empty()) {
            ShowMessage(refused, kReadFileCaption, MessageIcon::Error);
            m_list->setCurrentIndex(m_shown);
            return;
        }
        if (!Take(OpenGeoidModel(platform::PathText(ToPath(*chosen))))) return;
        ShowFile(*m_model);
    } else if (m_file) {
        // The file chosen before, open still.
        m_model = m_file;
        m_shown = index;
    }
    m_list->setCurrentIndex(m_shown);
    emit changed();
}
