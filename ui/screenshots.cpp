// Renders the program's dialogs to PNG files, for looking at the program
// without a display: zelk-screenshots OUTPUT_FOLDER (run it with
// QT_QPA_PLATFORM=offscreen).
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <cstdio>
#include <deque>

#include "platform/message_box.h"
#include "ui/system_lists.h"
#include "ui/about_dlg.h"
#include "ui/bursa_param_dlg.h"
#include "ui/calibration_dlg.h"
#include "ui/chain_dlg.h"
#include "ui/convert_app.h"
#include "ui/convert_dlg.h"
#include "ui/pair_table.h"
#include "ui/progress_dlg.h"
#include "ui/qt_platform.h"
#include "ui/residual_views.h"
#include "ui/resources.h"
#include "ui/system_def_dlg.h"
#include "ui/templates.h"
#include "workflow/conversion_run.h"
#include "workflow/coordinate_system.h"
#include "workflow/parameter_file.h"
#include "workflow/system_file.h"

using namespace zelk;

namespace {
// Where the package puts the examples, and a folder of the user's.
const QString kExamples = QStringLiteral("/usr/share/doc/zelk/examples/");
const QString kHome = QStringLiteral("/home/surveyor/");

bool Write(const QPixmap& picture, const QString& file) {
    const bool saved = picture.save(file, "PNG");
    std::printf("%s %s\n", saved ? "wrote" : "could not write", file.toLocal8Bit().constData());
    return saved;
}

// A window's picture under a plain title bar with its icon and caption, as
// a window manager would frame it: offscreen windows have no frame.
QPixmap Framed(QWidget& window, const QPixmap& contents) {
    const QFontMetrics metrics(window.font());
    const int bar = metrics.height() + 10;
    QPixmap picture(contents.width() + 2, contents.height() + bar + 1);
    picture.fill(QColor(0x4a, 0x6e, 0x9c));
    QPainter painter(&picture);
    const QIcon icon = window.windowIcon().isNull() ? LoadIconResource(kIdrMainFrame) : window.windowIcon();
    const int side = bar - 6;
    painter.drawPixmap(QRect(5, 3, side, side), icon.pixmap(side, side));
    painter.setFont(window.font());
    painter.setPen(Qt::white);
    painter.drawText(QRect(side + 11, 0, picture.width() - side - 16, bar), Qt::AlignVCenter | Qt::AlignLeft,
                     window.windowTitle());
    painter.drawPixmap(1, bar, contents);
    return picture;
}

bool Save(QWidget& dialog, const QString& file) {
    dialog.show();
    QApplication::processEvents();
    const bool saved = Write(Framed(dialog, dialog.grab()), file);
    dialog.hide();
    return saved;
}

// The dialog with one of its drop-down lists open. The open list is a
// window of its own, so it is drawn over the dialog's picture where it
// lies, on a canvas that holds both.
bool SaveWithOpenList(QWidget& dialog, QComboBox* list, const QString& file) {
    dialog.show();
    QApplication::processEvents();
    list->showPopup();
    QApplication::processEvents();
    QWidget* popup = list->view()->window();
    const QPoint origin = dialog.mapToGlobal(QPoint(0, 0));
    const QRect dialogRect(QPoint(0, 0), dialog.size());
    const QRect popupRect(popup->mapToGlobal(QPoint(0, 0)) - origin, popup->size());
    const QRect canvas = dialogRect.united(popupRect);
    QPixmap picture(canvas.size());
    picture.fill(dialog.palette().color(QPalette::Window));
    {
        QPainter painter(&picture);
        painter.drawPixmap(dialogRect.topLeft() - canvas.topLeft(), dialog.grab());
        painter.drawPixmap(popupRect.topLeft() - canvas.topLeft(), popup->grab());
    }
    list->hidePopup();
    const bool saved = Write(Framed(dialog, picture), file);
    dialog.hide();
    return saved;
}

// Chooses a list item as the user does.
void Choose(CTemplateDialog& dialog, int listId, int item) {
    auto* list = dialog.Item<QComboBox>(listId);
    list->setCurrentIndex(item);
    emit list->activated(item);
}

// The links name the documents where the package installs them, not
// where this build found them.
void ShowInstalledDocs(CTemplateDialog& dialog) {
    static const QRegularExpression document(QStringLiteral("file://\\S*/(guide|README)\\.md"));
    for (int id : {convert_ids::kAuthorLink, convert_ids::kSiteLink}) {
        auto* link = dialog.Item<QLabel>(id);
        link->setText(link->text().replace(document, QStringLiteral("file:///usr/share/doc/zelk/\\1.md")));
    }
}

int MainIndex(const char* name) { return MainListIndexOf(*zelk::FindSystem(name)); }
int ParamIndex(const char* name) { return ParamListIndexOf(*zelk::FindSystem(name)); }

// The reports the dialogs show are not part of the pictures.
class QuietMessages final : public IMessageService {
public:
    void Show(const std::string& text, const std::string& caption, MessageIcon icon) override {
        last = {text, caption, icon};
    }
    UserMessage last;  // kept for a picture of its box
};

// Answers the file pickers from a list, as a user would choose.
class ListedFiles final : public IFilePicker {
public:
    std::optional<QString> Pick(const FilePickRequest&) override {
        if (answers.empty()) return std::nullopt;
        const QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<QString> answers;
};

// A text file's contents.
QString ReadText(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // As the program shows them: Qt's buttons in Chinese, boxes captioned ZELK.
    QTranslator qtChinese;
    InstallQtTranslation(qtChinese);
    SetApplicationName(kMessageCaption);
    app.setWindowIcon(LoadIconResource(kIdrMainFrame));
    if (argc != 2) {
        std::fprintf(stderr, "usage: zelk-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "zelk-screenshots: cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    {
        CConvertDlg dialog;
        ShowInstalledDocs(dialog);
        ok = Save(dialog, folder + QStringLiteral("/main-dialog.png")) && ok;

        // The same dialog with a projected source and a geodetic target,
        // and the guide's Beijing 1954 to WGS84 parameters.
        std::string error;
        if (const auto params = ReadParametersFile(
                ToPath(QStringLiteral(ZELK_EXAMPLES_DIR "/bj54-to-wgs84.params")), error)) {
            dialog.m_steps = {Transformation::Seven(params->seven)};
        }
        dialog.m_srcSystem = 2;
        dialog.m_tgtSystem = 1;
        dialog.m_srcMeridian = 117;
        dialog.m_srcX = 4429471.237;
        dialog.m_srcY = 500000.0;
        dialog.m_srcZ = 50.0;
        dialog.UpdateData(false);
        emit dialog.Item<QComboBox>(convert_ids::kSrcSystem)->activated(2);
        emit dialog.Item<QComboBox>(convert_ids::kTgtSystem)->activated(1);
        dialog.UpdateTransformLine();
        ok = Save(dialog, folder + QStringLiteral("/main-dialog-selected.png")) && ok;
    }
    {
        // A CGCS2000 Gauss-Kruger point in 3-degree zones (zone 39 in front
        // of y) converted to CGCS2000 B L H, then its zoning list and its
        // system list open.
        CConvertDlg dialog;
        ShowInstalledDocs(dialog);
        Choose(dialog, convert_ids::kSrcSystem, MainIndex("cgcs2000-gauss"));
        Choose(dialog, convert_ids::kSrcZoning, 1);  // 3度带
        Choose(dialog, convert_ids::kTgtSystem, MainIndex("cgcs2000-geodetic"));
        dialog.m_srcX = 4415300.721;
        dialog.m_srcY = 39474527.606;
        dialog.m_srcZ = 28.114;
        dialog.UpdateData(false);
        dialog.Item<QPushButton>(convert_ids::kConvert)->click();
        ok = Save(dialog, folder + QStringLiteral("/main-dialog-zones.png")) && ok;
        ok = SaveWithOpenList(dialog, dialog.Item<QComboBox>(convert_ids::kSrcZoning),
                              folder + QStringLiteral("/main-dialog-zone-list.png")) &&
             ok;
        ok = SaveWithOpenList(dialog, dialog.Item<QComboBox>(convert_ids::kSrcSystem),
                              folder + QStringLiteral("/main-dialog-system-list.png")) &&
             ok;
    }
    {
        // A WGS84 point in Western Australia to UTM zone 50S (the southern
        // false northing), then the target's zoning list open on the zones.
        CConvertDlg dialog;
        ShowInstalledDocs(dialog);
        Choose(dialog, convert_ids::kSrcSystem, MainIndex("wgs84-geodetic"));
        Choose(dialog, convert_ids::kTgtSystem, MainIndex("wgs84-utm"));
        Choose(dialog, convert_ids::kTgtZoning, ItemOfUtmZone({50, true}));
        dialog.m_srcX = -33.54;
        dialog.m_srcY = 116.18;
        dialog.m_srcZ = 10;
        dialog.UpdateData(false);
        dialog.Item<QPushButton>(convert_ids::kConvert)->click();
        ok = Save(dialog, folder + QStringLiteral("/main-dialog-utm-south.png")) && ok;
        ok = SaveWithOpenList(dialog, dialog.Item<QComboBox>(convert_ids::kTgtZoning),
                              folder + QStringLiteral("/main-dialog-utm-zone-list.png")) &&
             ok;
    }
    {
        // The file area: a CASS dat file of the examples to csv with
        // angles in degrees, minutes and seconds.
        CConvertDlg dialog;
        ShowInstalledDocs(dialog);
        Choose(dialog, convert_ids::kSrcSystem, MainIndex("cgcs2000-gauss"));
        Choose(dialog, convert_ids::kTgtSystem, MainIndex("cgcs2000-geodetic"));
        dialog.m_srcMeridian = 105;
        dialog.UpdateData(false);
        dialog.DropFile(kExamples + QStringLiteral("survey.dat"), true);
        dialog.DropFile(kHome + QStringLiteral("成果/survey.csv"), false);
        Choose(dialog, convert_ids::kOutputAngles, 2);
        ok = Save(dialog, folder + QStringLiteral("/main-dialog-files.png")) && ok;
    }
    {
        // A million points under way.
        CConvertDlg owner;
        CProgressDlg progress(&owner);
        progress.SetProgress(524288, 0.25, 0.52);
        ok = Save(progress, folder + QStringLiteral("/progress.png")) && ok;
    }
    {
        // The message at the end of a file conversion.
        FileRun done;
        done.committed = true;
        const UserMessage message = MessageFor(done);
        const std::unique_ptr<QMessageBox> box = MakeMessageBox(message.text, message.caption, message.icon, nullptr);
        ok = Save(*box, folder + QStringLiteral("/message-box.png")) && ok;
    }
    {
        SevenParams params;
        params.dX0 = -12.5;
        params.betaX = -0.819544262089452;  // a long value shows its sign
        params.K = 1.25;
        CBursaParamDlg dialog(&params);
        // Common points in WGS84 B L H and in CGCS2000 Gauss-Kruger 3-degree zones.
        Choose(dialog, bursa_ids::kBeforeSystem, ParamIndex("wgs84-geodetic"));
        Choose(dialog, bursa_ids::kAfterSystem, ParamIndex("cgcs2000-gauss"));
        Choose(dialog, bursa_ids::kAfterZoning, 1);  // 3度带
        ok = Save(dialog, folder + QStringLiteral("/seven-parameters.png")) && ok;
    }
    {
        CAboutDlg dialog;
        ok = Save(dialog, folder + QStringLiteral("/about.png")) && ok;
    }
    QuietMessages quiet;
    SetMessageService(&quiet);
    ListedFiles files;
    SetFilePicker(&files);
    const QString examples = QStringLiteral(ZELK_EXAMPLES_DIR);
    {
        // The guide's example with the blunder: WGS84 B L H against Beijing
        // 1954 Gauss-Kruger on 117 degrees, pair 7 a metre off.
        CBursaParamDlg dialog;
        Choose(dialog, bursa_ids::kBeforeSystem, ParamIndex("wgs84-geodetic"));
        Choose(dialog, bursa_ids::kAfterSystem, ParamIndex("beijing54-gauss"));
        dialog.Item<QLineEdit>(bursa_ids::kAfterMeridian)->setText(QStringLiteral("117"));
        files.answers = {examples + QStringLiteral("/common-wgs84-blh.txt"),
                         examples + QStringLiteral("/common-bj54-xy117-blunder.txt")};
        dialog.Item<QPushButton>(bursa_ids::kBeforeFile)->click();
        dialog.Item<QPushButton>(bursa_ids::kAfterFile)->click();
        dialog.Item<QPushButton>(bursa_ids::kCompute)->click();
        ok = Save(dialog, folder + QStringLiteral("/seven-parameters-residuals.png")) && ok;
    }
    QTemporaryDir saved;
    Transformation site;
    {
        // The guide's site calibration: four parameters and a quadratic
        // height fit from ten control points pasted into the table, one of
        // them with an easting copied 0.3 m wrong.
        CCalibrationDlg dialog;
        Choose(dialog, calibration_ids::kModel, 1);   // 四参数
        Choose(dialog, calibration_ids::kHeight, 3);  // 二次曲面
        Choose(dialog, calibration_ids::kBeforeSystem, MainIndex("cgcs2000-gauss"));
        dialog.Item<QLineEdit>(calibration_ids::kBeforeMeridian)->setText(QStringLiteral("117.2"));
        Choose(dialog, calibration_ids::kAfterSystem, MainIndex("local"));
        auto* pairs = dialog.Item<CPairTable>(calibration_ids::kPairs);
        pairs->setCurrentCell(0, 0);
        pairs->PasteText(ReadText(examples + QStringLiteral("/site-pairs.txt")));
        dialog.Item<QPushButton>(calibration_ids::kCompute)->click();
        {
            // Its report, too long for a plain box.
            const std::unique_ptr<QDialog> report =
                MakeReportBox(quiet.last.text, quiet.last.caption, quiet.last.icon, nullptr);
            ok = Save(*report, folder + QStringLiteral("/report-box.png")) && ok;
        }
        ok = Save(dialog, folder + QStringLiteral("/calibration.png")) && ok;
        dialog.show();
        QApplication::processEvents();
        ok = Write(dialog.GetDlgItem(calibration_ids::kResiduals)->grab(),
                   folder + QStringLiteral("/calibration-residuals.png")) &&
             ok;
        dialog.hide();
        // K06 put right, computed again and saved.
        pairs->item(5, 5)->setText(QStringLiteral("4447.814"));
        dialog.Item<QPushButton>(calibration_ids::kCompute)->click();
        files.answers = {saved.filePath(QStringLiteral("site.params"))};
        dialog.Item<QPushButton>(calibration_ids::kSave)->click();
        if (dialog.Held()) site = *dialog.Held();
    }
    {
        // The main dialog applying it, and one warning of its line.
        CConvertDlg dialog;
        ShowInstalledDocs(dialog);
        Choose(dialog, convert_ids::kSrcSystem, MainIndex("cgcs2000-gauss"));
        dialog.Item<QLineEdit>(convert_ids::kSrcMeridian)->setText(QStringLiteral("117.2"));
        Choose(dialog, convert_ids::kTgtSystem, MainIndex("local"));
        site.source = "site.params";
        dialog.m_steps = {site};
        dialog.UpdateTransformLine();
        ok = Save(dialog, folder + QStringLiteral("/main-dialog-calibration.png")) && ok;

        CConvertDlg warning;
        ShowInstalledDocs(warning);
        Choose(warning, convert_ids::kSrcSystem, MainIndex("wgs84-geodetic"));
        Choose(warning, convert_ids::kTgtSystem, MainIndex("cgcs2000-geodetic"));
        ok = Save(warning, folder + QStringLiteral("/main-dialog-warning.png")) && ok;
    }
    {
        // The guide's two stages: seven parameters WGS84 -> Beijing 1954
        // X Y Z from two csv files paired by name, then four parameters and
        // a fixed height from a pair file with plan-only control, both steps
        // of 转换参数, and the main dialog applying them.
        std::vector<Transformation> steps;
        CCalibrationDlg first;
        Choose(first, calibration_ids::kBeforeSystem, MainIndex("wgs84-geodetic"));
        Choose(first, calibration_ids::kAfterSystem, MainIndex("beijing54-xyz"));
        Choose(first, calibration_ids::kSource, 1);
        Choose(first, calibration_ids::kFormat, 2);
        files.answers = {examples + QStringLiteral("/stage1-wgs84.csv"), examples + QStringLiteral("/stage1-bj54-xyz.csv")};
        first.Item<QPushButton>(calibration_ids::kBeforeFile)->click();
        first.Item<QPushButton>(calibration_ids::kAfterFile)->click();
        first.Item<QPushButton>(calibration_ids::kCompute)->click();
        files.answers = {saved.filePath(QStringLiteral("stage1.params"))};
        first.Item<QPushButton>(calibration_ids::kSave)->click();
        if (first.HeldStep()) steps.push_back(*first.HeldStep());

        CCalibrationDlg second;
        Choose(second, calibration_ids::kModel, 1);   // 四参数
        Choose(second, calibration_ids::kHeight, 1);  // 固定差
        Choose(second, calibration_ids::kBeforeSystem, MainIndex("beijing54-gauss"));
        second.Item<QLineEdit>(calibration_ids::kBeforeMeridian)->setText(QStringLiteral("117"));
        Choose(second, calibration_ids::kAfterSystem, MainIndex("local"));
        files.answers = {examples + QStringLiteral("/stage2-pairs.txt")};
        second.Item<QPushButton>(calibration_ids::kReadPairs)->click();
        second.Item<QPushButton>(calibration_ids::kCompute)->click();
        files.answers = {saved.filePath(QStringLiteral("stage2.params"))};
        second.Item<QPushButton>(calibration_ids::kSave)->click();
        ok = Save(second, folder + QStringLiteral("/calibration-pairs.png")) && ok;
        if (second.HeldStep()) steps.push_back(*second.HeldStep());

        const Crs from = MakeCrs(*FindSystem("wgs84-geodetic")), to = MakeCrs(*FindSystem("local"));
        CChainDlg chain(steps, from, to);
        chain.Select(1);
        ok = Save(chain, folder + QStringLiteral("/steps.png")) && ok;

        CConvertDlg dialog;
        ShowInstalledDocs(dialog);
        Choose(dialog, convert_ids::kSrcSystem, MainIndex("wgs84-geodetic"));
        Choose(dialog, convert_ids::kTgtSystem, MainIndex("local"));
        dialog.m_steps = steps;
        dialog.DropFile(kExamples + QStringLiteral("rtk-new.txt"), true);
        dialog.DropFile(kHome + QStringLiteral("成果/rtk-new-local.txt"), false);
        dialog.m_withNames = 1;
        dialog.UpdateData(false);
        dialog.UpdateTransformLine();
        ok = Save(dialog, folder + QStringLiteral("/main-dialog-steps.png")) && ok;
    }
    {
        // Heights (the guide's section on heights): a GNSS point of the
        // corridor example, CGCS2000 Gauss-Kruger on 102 with its
        // ellipsoidal height, to the same grid with its height above EGM96;
        // then the target's height list open.
        CConvertDlg dialog;
        ShowInstalledDocs(dialog);
        Choose(dialog, convert_ids::kSrcSystem, MainIndex("cgcs2000-gauss"));
        Choose(dialog, convert_ids::kTgtSystem, MainIndex("cgcs2000-gauss"));
        dialog.Item<QLineEdit>(convert_ids::kSrcMeridian)->setText(QStringLiteral("102"));
        dialog.Item<QLineEdit>(convert_ids::kTgtMeridian)->setText(QStringLiteral("102"));
        Choose(dialog, convert_ids::kTgtHeight, 1);  // EGM96
        dialog.UpdateData(true);
        dialog.m_srcX = 3341308.907;
        dialog.m_srcY = 538736.866;
        dialog.m_srcZ = 3860.595;
        dialog.UpdateData(false);
        dialog.Item<QPushButton>(convert_ids::kConvert)->click();
        ok = Save(dialog, folder + QStringLiteral("/main-dialog-geoid.png")) && ok;
        ok = SaveWithOpenList(dialog, dialog.Item<QComboBox>(convert_ids::kTgtHeight),
                              folder + QStringLiteral("/main-dialog-height-list.png")) &&
             ok;
    }
    {
        // The corridor calibrated on EGM96 from its two files of benchmarks:
        // four parameters and a fixed height difference.
        CCalibrationDlg dialog;
        Choose(dialog, calibration_ids::kModel, 1);   // 四参数
        Choose(dialog, calibration_ids::kHeight, 1);  // 固定差
        Choose(dialog, calibration_ids::kGeoid, 1);   // EGM96
        Choose(dialog, calibration_ids::kBeforeSystem, MainIndex("cgcs2000-gauss"));
        dialog.Item<QLineEdit>(calibration_ids::kBeforeMeridian)->setText(QStringLiteral("102"));
        Choose(dialog, calibration_ids::kAfterSystem, MainIndex("local"));
        Choose(dialog, calibration_ids::kSource, 1);  // 两个公共点文件
        files.answers = {examples + QStringLiteral("/corridor-cgcs2000.txt"),
                         examples + QStringLiteral("/corridor-local.txt")};
        dialog.Item<QPushButton>(calibration_ids::kBeforeFile)->click();
        dialog.Item<QPushButton>(calibration_ids::kAfterFile)->click();
        dialog.Item<QPushButton>(calibration_ids::kCompute)->click();
        ok = Save(dialog, folder + QStringLiteral("/calibration-geoid.png")) && ok;
        files.answers = {saved.filePath(QStringLiteral("corridor.params"))};
        dialog.Item<QPushButton>(calibration_ids::kSave)->click();

        CConvertDlg main;
        ShowInstalledDocs(main);
        Choose(main, convert_ids::kSrcSystem, MainIndex("cgcs2000-gauss"));
        main.Item<QLineEdit>(convert_ids::kSrcMeridian)->setText(QStringLiteral("102"));
        Choose(main, convert_ids::kTgtSystem, MainIndex("local"));
        if (dialog.HeldStep()) main.m_steps = {*dialog.HeldStep()};
        main.UpdateTransformLine();
        ok = Save(main, folder + QStringLiteral("/main-dialog-geoid-calibration.png")) && ok;
    }
    {
        // 自定义坐标系: the examples' city system opened in the system
        // dialog; then the main dialog converting a point of it to CGCS2000
        // B L H, and its system list with the system under its name.
        CSystemDefDlg define;
        files.answers = {examples + QStringLiteral("/city.crs")};
        define.Item<QPushButton>(system_ids::kOpen)->click();
        ok = Save(define, folder + QStringLiteral("/system-dialog.png")) && ok;

        std::string error;
        const std::optional<Crs> city = ReadSystemFile(ToPath(examples + QStringLiteral("/city.crs")), error);
        CConvertDlg dialog;
        ShowInstalledDocs(dialog);
        if (city) {
            const int own = AddOwnSystem(*city);
            for (const int id : {convert_ids::kSrcSystem, convert_ids::kTgtSystem}) {
                RefillSystemList(dialog.Item<QComboBox>(id), SystemList::Main);
            }
            Choose(dialog, convert_ids::kSrcSystem, own);
        }
        Choose(dialog, convert_ids::kTgtSystem, MainIndex("cgcs2000-geodetic"));
        dialog.m_srcX = 3378812.531;
        dialog.m_srcY = 497852.874;
        dialog.m_srcZ = 371.934;
        dialog.UpdateData(false);
        dialog.Item<QPushButton>(convert_ids::kConvert)->click();
        ok = Save(dialog, folder + QStringLiteral("/main-dialog-own-system.png")) && ok;
        ok = SaveWithOpenList(dialog, dialog.Item<QComboBox>(convert_ids::kSrcSystem),
                              folder + QStringLiteral("/main-dialog-own-system-list.png")) &&
             ok;
    }
    SetFilePicker(nullptr);
    SetMessageService(nullptr);
    return ok ? 0 : 1;
}
