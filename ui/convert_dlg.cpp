#include "ui/convert_dlg.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <optional>

#include "platform/message_box.h"
#include "platform/number_text.h"
#include "ui/about_dlg.h"
#include "ui/ask.h"
#include "ui/background_run.h"
#include "ui/bursa_param_dlg.h"
#include "ui/calibration_dlg.h"
#include "ui/chain_dlg.h"
#include "ui/geoid_choice.h"
#include "ui/progress_dlg.h"
#include "ui/qt_platform.h"
#include "ui/resources.h"
#include "ui/system_lists.h"
#include "ui/templates.h"
#if ZELK_HAVE_GIS
#include "gis/point_files.h"
#endif

using namespace zelk;

using namespace convert_ids;

namespace {
// The GIS, CAD and spreadsheet formats of this build, or nullptr.
const ExternalFormats* ProgramFormats() {
#if ZELK_HAVE_GIS
    return &gis::Formats();
#else
    return nullptr;
#endif
}

const QString kInputCaption = QStringLiteral("转换前文件");
const QString kOutputCaption = QStringLiteral("转换后文件");

// The format a file's extension names: txt, dat, csv (and kml for an
// output), dxf, shp, gpkg, geojson (json for an input) and xlsx where this
// build has them; nothing for any other.
std::optional<pointformat::FileFormat> FormatOfExtension(const QString& path, bool output) {
    using pointformat::FileFormat;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QStringLiteral("txt")) return FileFormat::Plain;
    if (suffix == QStringLiteral("dat")) return FileFormat::Dat;
    if (suffix == QStringLiteral("csv")) return FileFormat::Csv;
    if (output && suffix == QStringLiteral("kml")) return FileFormat::Kml;
    if (!ProgramFormats()) return std::nullopt;
    if (!output && suffix == QStringLiteral("json")) return FileFormat::GeoJson;
    const std::optional<FileFormat> format = pointformat::FileFormatFromName(suffix.toStdString());
    if (format && pointformat::IsExternalFormat(*format)) return format;
    return std::nullopt;
}

QString ExtensionOf(pointformat::FileFormat format) {
    if (format == pointformat::FileFormat::Plain) return QStringLiteral("txt");
    return QString::fromUtf8(pointformat::FileFormatName(format));
}

// The lists' items in FileFormat order, the input list without kml.
pointformat::FileFormat FormatOfItem(int item, bool output) {
    using pointformat::FileFormat;
    const int count = FileFormatItems(output).size();
    if (item < 0 || item >= count) return FileFormat::Plain;
    if (!output && item >= static_cast<int>(FileFormat::Kml)) ++item;
    return static_cast<FileFormat>(item);
}

int ItemOfFormat(pointformat::FileFormat format, bool output) {
    int item = static_cast<int>(format);
    if (!output && format > pointformat::FileFormat::Kml) --item;
    return item;
}

AngleFormat AnglesOfItem(int item) {
    return item >= 0 && item <= static_cast<int>(AngleFormat::Dms) ? static_cast<AngleFormat>(item)
                                                                    : AngleFormat::Packed;
}

// The local file a drag carries (the first, when it carries several); empty
// for anything else, folders included.
QString DraggedFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        const QString path = url.toLocalFile();
        if (!path.isEmpty() && !QFileInfo(path).isDir()) return path;
    }
    return {};
}
}  // namespace

CConvertDlg::CConvertDlg(QWidget* parent)
    : CTemplateDialog(ConvertDialogTemplate(), parent), m_icon(LoadIconResource(kIdrMainFrame)) {
    connect(Item<QPushButton>(kConvert), &QPushButton::clicked, this, &CConvertDlg::OnOK);
    connect(Item<QPushButton>(kEditParams), &QPushButton::clicked, this, &CConvertDlg::OnEditParams);
    connect(Item<QPushButton>(kCalibrate), &QPushButton::clicked, this, &CConvertDlg::OnCalibrate);
    m_srcHeights = new CGeoidChoice(Item<QComboBox>(kSrcHeight), this);
    m_tgtHeights = new CGeoidChoice(Item<QComboBox>(kTgtHeight), this);
    for (CGeoidChoice* heights : {m_srcHeights, m_tgtHeights}) {
        connect(heights, &CGeoidChoice::changed, this, &CConvertDlg::UpdateTransformLine);
    }
    for (int id : {kSrcMeridian, kTgtMeridian}) {
        connect(Item<QLineEdit>(id), &QLineEdit::textChanged, this, &CConvertDlg::UpdateTransformLine);
    }
    // A result stays only beside what it was converted from.
    for (int id : {kSrcMeridian, kTgtMeridian, kSrcX, kSrcY, kSrcZ}) {
        connect(Item<QLineEdit>(id), &QLineEdit::textEdited, this, &CConvertDlg::ClearResults);
    }
    connect(Item<QPushButton>(kInputFile), &QPushButton::clicked, this, &CConvertDlg::OnPickInputFile);
    connect(Item<QPushButton>(kOutputFile), &QPushButton::clicked, this, &CConvertDlg::OnPickOutputFile);
    connect(Item<QComboBox>(kSrcSystem), &QComboBox::activated, this, &CConvertDlg::OnSelchangeSrcSystem);
    connect(Item<QComboBox>(kTgtSystem), &QComboBox::activated, this, &CConvertDlg::OnSelchangeTgtSystem);
    connect(Item<QComboBox>(kSrcZoning), &QComboBox::activated, this, &CConvertDlg::OnSelchangeSrcZoning);
    connect(Item<QComboBox>(kTgtZoning), &QComboBox::activated, this, &CConvertDlg::OnSelchangeTgtZoning);
    connect(Item<QComboBox>(kInputFormat), &QComboBox::activated, this, [this] {
        m_inputFormatByHand = true;
        OnSelchangeFileFormat();
    });
    connect(Item<QComboBox>(kOutputFormat), &QComboBox::activated, this, [this] {
        m_outputFormatByHand = true;
        OnSelchangeFileFormat();
    });
    OnInitDialog();
}

CConvertDlg::~CConvertDlg() = default;

void CConvertDlg::OnInitDialog() {
    // Every field shown: both system lists without selection (the systems of
    // the user's own of this run in them), both zoning lists on the
    // meridian, the numbers "0".
    RefillSystemLists();
    UpdateData(false);

    // The about entry of the window menu.
    const std::optional<QString> aboutText = LoadStringResource(kIdsAboutEntry);
    if (aboutText && !aboutText->isEmpty()) {
        m_systemMenu = new QMenu(this);
        QAction* about = m_systemMenu->addAction(*aboutText);
        connect(about, &QAction::triggered, this, [this] { OnSysCommand(kIdmAboutBox); });
    }

    setWindowIcon(m_icon);

    m_authorLink.m_address = AuthorPageAddress();
    m_authorLink.SubclassDlgItem(kAuthorLink, this);
    m_siteLink.m_address = SupportSiteAddress();
    m_siteLink.SubclassDlgItem(kSiteLink, this);
    UpdateTransformLine();

    // The file buttons take dropped files, and so does the rest of the
    // window (for the input); their context menu unchooses the file.
    setAcceptDrops(true);
    for (const int id : {kInputFile, kOutputFile}) {
        QPushButton* button = Item<QPushButton>(id);
        button->setAcceptDrops(true);
        button->installEventFilter(this);
        auto* clear = new QAction(QStringLiteral("清除"), button);
        clear->setEnabled(false);
        connect(clear, &QAction::triggered, this,
                id == kInputFile ? &CConvertDlg::ClearInputFile : &CConvertDlg::ClearOutputFile);
        button->addAction(clear);
        button->setContextMenuPolicy(Qt::ActionsContextMenu);
    }
    for (const int id : {kInputAngles, kOutputAngles}) {
        GetDlgItem(id)->setToolTip(QStringLiteral("B、L 的角度格式"));
    }
    ApplyFileForm();

    FocusFirstControl();
}

void CConvertDlg::DoDataExchange(CDataExchange& dx) {
    // B and L of a geodetic target show packed with nine decimals.
    const auto Result = [&](int id, double& value) {
        const zelk::SystemEntry* target = MainListEntryAt(m_tgtSystem);
        if (target && target->form == zelk::Form::Geodetic) {
            dx.PackedAngle(id, value);
        } else {
            dx.Number(id, value);
        }
    };
    dx.ListIndex(kSrcSystem, m_srcSystem);
    dx.ListIndex(kTgtSystem, m_tgtSystem);
    // Before the numbers, so that a number that does not read never undoes
    // a zoning choice.
    dx.ListIndex(kSrcZoning, m_srcZoning);
    dx.ListIndex(kTgtZoning, m_tgtZoning);
    dx.ListIndex(kInputFormat, m_inputFormat);
    dx.ListIndex(kInputAngles, m_inputAngles);
    dx.ListIndex(kOutputFormat, m_outputFormat);
    dx.ListIndex(kOutputAngles, m_outputAngles);
    dx.Number(kSrcMeridian, m_srcMeridian);
    dx.Number(kTgtMeridian, m_tgtMeridian);
    dx.Number(kSrcX, m_srcX);
    dx.Number(kSrcY, m_srcY);
    Result(kTgtY, m_tgtY);
    dx.Number(kSrcZ, m_srcZ);
    dx.Number(kTgtZ, m_tgtZ);
    Result(kTgtX, m_tgtX);
    dx.Check(kWithNames, m_withNames);
}

void CConvertDlg::OnOK() {
    // A field that does not read ends the press: it has the focus and its
    // text selected, and nothing is converted, written or shown.
    if (!UpdateData(true)) return;

    const std::optional<Crs> from = SideCrs(SystemItemAt(SystemList::Main, m_srcSystem), m_srcZoning, m_srcMeridian);
    const std::optional<Crs> to = SideCrs(SystemItemAt(SystemList::Main, m_tgtSystem), m_tgtZoning, m_tgtMeridian);
    if (!from || !to) {
        ShowMessage(kIncompleteText, kIncompleteCaption, MessageIcon::Warning);
        return;  // nothing was converted
    }
    ConversionRequest request;
    request.from = *from;
    request.to = *to;
    request.steps = HeldSteps();
    request.external = ProgramFormats();
    request.fromGeoid = SideGeoid(false);
    request.toGeoid = SideGeoid(true);
    request.formats.input = FormatOfItem(m_inputFormat, false);
    request.formats.output = FormatOfItem(m_outputFormat, true);
    request.formats.inputAngles = AnglesOfItem(m_inputAngles);
    request.formats.outputAngles = AnglesOfItem(m_outputAngles);
    request.formats.withNames = m_withNames != 0;
    // Both files chosen: the file conversion is part of the request.
    if (!m_inputPath.isEmpty() && !m_outputPath.isEmpty()) {
        request.input = PointInput{ToPath(m_inputPath)};
        request.output = PointOutput{ToPath(m_outputPath)};
    }
    // The point's three results start empty (0, as when the dialog opens):
    // a point that is not converted, because its x or y is exactly 0, must
    // not leave the previous point's result beside it.
    m_tgtX = m_tgtY = m_tgtZ = 0.0;
    bool done = true;
    if (const std::string problem = RequestProblemText(request); !problem.empty()) {
        ShowMessage(problem, kSettingCaption, MessageIcon::Warning);
        done = false;
    } else {
        const ConversionChain chain = ChainFor(request);
        // Exact comparisons: a point with x or y exactly 0 is no point.
        if (m_srcX != 0.0 && m_srcY != 0.0) {
            double a = m_srcX, b = m_srcY, c = m_srcZ;
            if (const std::string problem = ConvertTypedPoint(chain, a, b, c); !problem.empty()) {
                ShowMessage(problem, kSettingCaption, MessageIcon::Warning);
                done = false;
            } else {
                m_tgtX = a;
                m_tgtY = b;
                m_tgtZ = c;
            }
        }
        if (done && request.input) {
            const FileRun run = ConvertFilesInBackground(request);
            const UserMessage message = MessageFor(run);
            ShowMessage(message.text, message.caption, message.icon);
            done = run.committed;
        }
    }
    // The converted point is kept even when the press ends before showing it.
    if (done) UpdateData(false);
}

FileRun CConvertDlg::ConvertFilesInBackground(const ConversionRequest& request) {
    // The worker's own: a run given up on may outlive this call.
    struct Job {
        ConversionRequest request;
        FileConversionOptions options;
        RunWithdrawal withdrawal;
        FileRun run;
    };
    auto job = std::make_shared<Job>();
    job->request = request;
    job->options.threads = m_conversionThreads;
    job->options.withdrawal = &job->withdrawal;

    BackgroundTask task;
    task.title = QStringLiteral("正在转换文件");
    task.work = [job](BackgroundProgress& progress) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(job->request.input->path, ec);
        if (!ec) progress.inputBytes = size;
        job->options.cancel = &progress.cancel;
        job->options.progress = [&progress](std::uint64_t bytes, std::uint64_t points) {
            progress.bytesRead.store(bytes, std::memory_order_relaxed);
            progress.points.store(points, std::memory_order_relaxed);
        };
        job->run = ConvertFiles(job->request, ChainFor(job->request), job->options);
    };
    // An output being put in place is waited for; a stalled read is not.
    task.giveUp = [job] { return job->withdrawal.Withdraw(); };
    if (RunInBackground(*this, std::move(task)) == BackgroundEnd::GivenUp) {
        FileRun cancelled;
        cancelled.result.status = FileConversionResult::Status::Cancelled;
        return cancelled;
    }
    if (QWidget* convert = GetDlgItem(kConvert)) convert->setFocus(Qt::OtherFocusReason);
    return job->run;
}

CProgressDlg* CConvertDlg::Progress() const {
    for (CProgressDlg* progress : findChildren<CProgressDlg*>()) {
        if (progress->isVisible()) return progress;
    }
    return nullptr;
}

void CConvertDlg::OnCancel() {
    // The window stays while a conversion runs: its progress window
    // cancels it.
    if (Busy()) return;
    // Closing loses a transformation that was never saved: asked first.
    if (const QString unsaved = UnsavedTransformation(); !unsaved.isEmpty()) {
        const QString question = QStringLiteral("当前的") + unsaved +
                                 QStringLiteral("还没有保存到文件，关闭窗口后就没有了。\n确实要关闭吗？");
        if (!AskYesNo(this, QString::fromStdString(ApplicationName()), question)) return;
    }
    CTemplateDialog::OnCancel();
}

QString CConvertDlg::UnsavedTransformation() const {
    // A step is saved when it has a file's name.
    for (const Transformation& step : m_steps) {
        if (!step.source.empty()) continue;
        return step.model == Transformation::Model::Four || step.height ? QStringLiteral("点校正")
                                                                         : QStringLiteral("七参数");
    }
    return QString();
}

void CConvertDlg::ApplyForm(int system, int& zoning, double& meridian, int zoningId, int meridianId,
                            int firstCaptionId) {
    const SideForm side =
        ApplySideForm(*this, SystemItemAt(SystemList::Main, system), zoning, meridian, zoningId, meridianId);
    // Heights above a geoid: geodetic and projected sides (and before a
    // system is chosen). A disabled list keeps its choice, which then
    // does not apply.
    GetDlgItem(zoningId == kSrcZoning ? kSrcHeight : kTgtHeight)->setEnabled(side.heightsEnabled);
    for (std::size_t i = 0; i < side.captions.size(); ++i) {
        SetDlgItemText(firstCaptionId + static_cast<int>(i), side.captions[i]);
    }
}

void CConvertDlg::ApplySourceForm() {
    UpdateData(true);
    ApplyForm(m_srcSystem, m_srcZoning, m_srcMeridian, kSrcZoning, kSrcMeridian, kSrcXCaption);
    // Typed values of another form (B L H, x y H, X Y Z) are not this
    // point's: they go, and any result goes with a setting.
    if (FormChanged(false)) m_srcX = m_srcY = m_srcZ = 0.0;
    m_tgtX = m_tgtY = m_tgtZ = 0.0;
    ApplyFileForm();
    UpdateData(false);
    UpdateTransformLine();
}

void CConvertDlg::ApplyTargetForm() {
    UpdateData(true);
    ApplyForm(m_tgtSystem, m_tgtZoning, m_tgtMeridian, kTgtZoning, kTgtMeridian, kTgtXCaption);
    FormChanged(true);
    m_tgtX = m_tgtY = m_tgtZ = 0.0;
    ApplyFileForm();
    UpdateData(false);
    UpdateTransformLine();
}

bool CConvertDlg::FormChanged(bool target) {
    std::optional<zelk::Form> form = SystemItemAt(SystemList::Main, target ? m_tgtSystem : m_srcSystem).FormOf();
    // A site grid holds x y H as a projection does.
    if (form == zelk::Form::Local) form = zelk::Form::Projected;
    std::optional<zelk::Form>& shown = m_shownForm[target ? 1 : 0];
    const bool changed = shown && form && *shown != *form;
    if (form) shown = form;
    return changed;
}

void CConvertDlg::ClearResults() {
    m_tgtX = m_tgtY = m_tgtZ = 0.0;
    for (int id : {kTgtX, kTgtY, kTgtZ}) SetDlgItemText(id, QString::fromStdString(FormatDialogNumber(0.0)));
}

void CConvertDlg::ApplyFileForm() {
    // B and L: on a geodetic side (or before a system is chosen), and not
    // in KML or the GIS formats written, which hold decimal degrees, nor in
    // GIS layers and drawings read (a sheet holds them as typed). Names: in
    // plain input only; the other formats always have them.
    const auto geodetic = [](int system) {
        const std::optional<zelk::Form> form = SystemItemAt(SystemList::Main, system).FormOf();
        return !form || *form == zelk::Form::Geodetic;
    };
    const pointformat::FileFormat input = FormatOfItem(m_inputFormat, false);
    const pointformat::FileFormat output = FormatOfItem(m_outputFormat, true);
    GetDlgItem(kInputAngles)
        ->setEnabled(geodetic(m_srcSystem) && (!pointformat::IsExternalFormat(input) ||
                                               input == pointformat::FileFormat::Xlsx));
    GetDlgItem(kOutputAngles)
        ->setEnabled(geodetic(m_tgtSystem) && output != pointformat::FileFormat::Kml &&
                     !pointformat::IsExternalFormat(output));
    GetDlgItem(kWithNames)->setEnabled(input == pointformat::FileFormat::Plain);
}

void CConvertDlg::OnSelchangeFileFormat() {
    UpdateData(true);
    ApplyFileForm();
    UpdateData(false);
    UpdateTransformLine();
}

void CConvertDlg::OnSelchangeSrcSystem() {
    ChooseOwnSystemIfAsked(this, SystemList::Main, kSrcSystem, m_srcSystem, {kSrcSystem, kTgtSystem});
    ApplySourceForm();
}

void CConvertDlg::OnSelchangeTgtSystem() {
    ChooseOwnSystemIfAsked(this, SystemList::Main, kTgtSystem, m_tgtSystem, {kSrcSystem, kTgtSystem});
    ApplyTargetForm();
}

void CConvertDlg::RefillSystemLists() {
    for (const int id : {kSrcSystem, kTgtSystem}) RefillSystemList(Item<QComboBox>(id), SystemList::Main);
}
void CConvertDlg::OnSelchangeSrcZoning() { ApplySourceForm(); }
void CConvertDlg::OnSelchangeTgtZoning() { ApplyTargetForm(); }

void CConvertDlg::SetFile(bool input, const QString& path) {
    QString& chosen = input ? m_inputPath : m_outputPath;
    chosen = path;
    const int buttonId = input ? kInputFile : kOutputFile;
    ShowFileOnButton(buttonId, path, input ? kInputCaption : kOutputCaption);
    for (QAction* action : GetDlgItem(buttonId)->actions()) action->setEnabled(!path.isEmpty());
    if (path.isEmpty()) {
        // Unchosen: the next file's extension decides its format again.
        (input ? m_inputFormatByHand : m_outputFormatByHand) = false;
        return;
    }
    if (input ? m_inputFormatByHand : m_outputFormatByHand) return;
    if (const auto format = FormatOfExtension(path, !input)) {
        (input ? m_inputFormat : m_outputFormat) = ItemOfFormat(*format, !input);
    }
}

void CConvertDlg::OnPickInputFile() {
    UpdateData(true);  // a failed reading has said so; the picker opens all the same
    FilePickRequest request;
    request.open = true;
    request.filter = InputFileFilter();
    request.defaultSuffix = QString::fromLatin1(kFileSuffix);
    request.owner = this;
    if (!m_inputPath.isEmpty()) request.directory = QFileInfo(m_inputPath).absolutePath();
    if (const std::optional<QString> chosen = FilePicker().Pick(request)) SetFile(true, *chosen);
    ApplyFileForm();
    UpdateData(false);
}

void CConvertDlg::OnPickOutputFile() {
    UpdateData(true);
    FilePickRequest request;
    request.open = false;
    request.filter = OutputFileFilter();
    // A name typed without an extension gets the one of the chosen format.
    request.defaultSuffix = ExtensionOf(FormatOfItem(m_outputFormat, true));
    request.overwritePrompt = true;
    request.owner = this;
    // Results usually go beside the points they come from.
    const QString& beside = m_inputPath.isEmpty() ? m_outputPath : m_inputPath;
    if (!beside.isEmpty()) request.directory = QFileInfo(beside).absolutePath();
    if (const std::optional<QString> chosen = FilePicker().Pick(request)) SetFile(false, *chosen);
    ApplyFileForm();
    UpdateData(false);
}

bool CConvertDlg::DropFile(const QString& path, bool input) {
    if (Busy() || path.isEmpty() || QFileInfo(path).isDir()) return false;
    // An output that exists is replaced only when the user says so, as in
    // the save picker.
    if (!input && QFileInfo::exists(path) && !AskToReplace(this, path)) return false;
    UpdateData(true);
    SetFile(input, path);
    ApplyFileForm();
    UpdateData(false);
    return true;
}

void CConvertDlg::ClearInputFile() {
    UpdateData(true);
    SetFile(true, QString());
    UpdateData(false);
}

void CConvertDlg::ClearOutputFile() {
    UpdateData(true);
    SetFile(false, QString());
    UpdateData(false);
}

void CConvertDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!Busy() && !DraggedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CConvertDlg::dropEvent(QDropEvent* event) {
    if (DropFile(DraggedFile(event->mimeData()), true)) event->acceptProposedAction();
}

bool CConvertDlg::eventFilter(QObject* watched, QEvent* event) {
    const bool input = watched == GetDlgItem(kInputFile);
    if (!input && watched != GetDlgItem(kOutputFile)) return CTemplateDialog::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (!Busy() && !DraggedFile(drag->mimeData()).isEmpty()) {
                drag->acceptProposedAction();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (DropFile(DraggedFile(drop->mimeData()), input)) drop->acceptProposedAction();
            return true;
        }
        default:
            return CTemplateDialog::eventFilter(watched, event);
    }
}

void CConvertDlg::OnEditParams() {
    CChainDlg dialog(m_steps, ShownCrs(false), ShownCrs(true), this);
    const int result = dialog.DoModal();
    // Systems of one's own defined or opened in the step dialogs are in
    // these lists too.
    RefillSystemLists();
    if (result != kIdOk) return;
    m_steps = dialog.Steps();
    ClearResults();
    UpdateTransformLine();
}

int CConvertDlg::CalibrationStep() const {
    for (int k = static_cast<int>(m_steps.size()) - 1; k >= 0; --k) {
        const Transformation& step = m_steps[static_cast<std::size_t>(k)];
        if (step.model == Transformation::Model::Four || step.height) return k;
    }
    return -1;
}

void CConvertDlg::OnCalibrate() {
    const int at = CalibrationStep();
    const Transformation* held = at >= 0 ? &m_steps[static_cast<std::size_t>(at)] : nullptr;
    CCalibrationDlg dialog(held, held ? QString::fromUtf8(held->source.c_str()) : QString(), this);
    if (!held) {
        // A new calibration starts from the systems chosen here.
        const auto meridian = [this](int id, double stored) {
            return ParseDialogNumber(CodePageBytes(Item<QLineEdit>(id)->text())).value_or(stored);
        };
        dialog.SelectSystems(Item<QComboBox>(kSrcSystem)->currentIndex(),
                             Item<QComboBox>(kSrcZoning)->currentIndex(), meridian(kSrcMeridian, m_srcMeridian),
                             Item<QComboBox>(kTgtSystem)->currentIndex(),
                             Item<QComboBox>(kTgtZoning)->currentIndex(), meridian(kTgtMeridian, m_tgtMeridian));
    }
    const int result = dialog.DoModal();
    RefillSystemLists();
    if (result != kIdOk) return;
    if (const std::optional<Transformation> step = dialog.HeldStep()) {
        if (at >= 0) {
            m_steps[static_cast<std::size_t>(at)] = *step;
        } else {
            m_steps.push_back(*step);
        }
    } else if (at >= 0) {
        m_steps.erase(m_steps.begin() + at);
    }
    ClearResults();
    UpdateTransformLine();
}

std::optional<zelk::Crs> CConvertDlg::ShownCrs(bool target) const {
    const int system = Item<QComboBox>(target ? kTgtSystem : kSrcSystem)->currentIndex();
    const int zoning = Item<QComboBox>(target ? kTgtZoning : kSrcZoning)->currentIndex();
    const double meridian =
        ParseDialogNumber(CodePageBytes(Item<QLineEdit>(target ? kTgtMeridian : kSrcMeridian)->text()))
            .value_or(target ? m_tgtMeridian : m_srcMeridian);
    return SideCrs(SystemItemAt(SystemList::Main, system), zoning, meridian);
}

std::optional<GeoidModel> CConvertDlg::SideGeoid(bool target) const {
    const CGeoidChoice* heights = target ? m_tgtHeights : m_srcHeights;
    if (!heights || !GetDlgItem(target ? kTgtHeight : kSrcHeight)->isEnabled()) return std::nullopt;
    return heights->Model();
}

std::vector<Transformation> CConvertDlg::HeldSteps() const {
    if (m_steps.empty()) return {Transformation::Seven(SevenParams{})};
    return m_steps;
}

void CConvertDlg::UpdateTransformLine() {
    auto* label = Item<QLabel>(kTransformLine);
    if (!label) return;
    m_transformLine = DescribeTransformation(m_steps, ShownCrs(false), ShownCrs(true));
    // The status line names the geoid models of the two sides.
    const auto modelLabel = [](const std::optional<GeoidModel>& model) {
        return model ? QString::fromStdString(GeoidLabel(model->name)) : QString();
    };
    AppendHeights(m_transformLine, modelLabel(SideGeoid(false)), modelLabel(SideGeoid(true)));
    const QString shown = label->fontMetrics().elidedText(m_transformLine.text, Qt::ElideRight, label->width());
    label->setText(shown);
    label->setToolTip(shown == m_transformLine.text ? m_transformLine.details
                                                    : m_transformLine.text + QLatin1Char('\n') +
                                                          m_transformLine.details);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText,
                     m_transformLine.warning ? WarningColor() : this->palette().color(QPalette::WindowText));
    label->setPalette(palette);
}

void CConvertDlg::OnSysCommand(int id) {
    if ((id & 0xFFF0) == kIdmAboutBox) {
        CAboutDlg about(this);
        about.DoModal();
    }
}

void CConvertDlg::contextMenuEvent(QContextMenuEvent* event) {
    if (Busy()) return;
    if (!m_systemMenu || m_systemMenu->actions().isEmpty()) {
        CTemplateDialog::contextMenuEvent(event);
        return;
    }
    m_systemMenu->exec(event->globalPos());
}
