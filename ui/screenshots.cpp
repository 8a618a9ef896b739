// Renders the program's dialogs to PNG files, for looking at the program
// without a display: zelk-screenshots OUTPUT_FOLDER (run it with
// QT_QPA_PLATFORM=offscreen).
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <cstdio>

#include "ui/about_dlg.h"
#include "ui/bursa_param_dlg.h"
#include "ui/convert_dlg.h"
#include "ui/templates.h"

namespace {
bool Save(QWidget& dialog, const QString& file) {
    dialog.show();
    QApplication::processEvents();
    const bool saved = dialog.grab().save(file, "PNG");
    std::printf("%s %s\n", saved ? "wrote" : "could not write", file.toLocal8Bit().constData());
    dialog.hide();
    return saved;
}
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
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
        ok = Save(dialog, folder + QStringLiteral("/main-dialog.png")) && ok;

        // The same dialog with a projected source and a geodetic target.
        dialog.m_srcSystem = 2;
        dialog.m_tgtSystem = 1;
        dialog.m_srcMeridian = 117;
        dialog.m_srcX = 4429471.237;
        dialog.m_srcY = 500000.0;
        dialog.m_srcZ = 50.0;
        dialog.UpdateData(false);
        emit dialog.Item<QComboBox>(convert_ids::kSrcSystem)->activated(2);
        emit dialog.Item<QComboBox>(convert_ids::kTgtSystem)->activated(1);
        ok = Save(dialog, folder + QStringLiteral("/main-dialog-selected.png")) && ok;
    }
    {
        SevenParams params;
        params.dX0 = -12.5;
        params.betaX = -0.819544262089452;  // a long value shows its sign
        params.K = 1.25;
        CBursaParamDlg dialog(&params);
        ok = Save(dialog, folder + QStringLiteral("/seven-parameters.png")) && ok;
    }
    {
        CAboutDlg dialog;
        ok = Save(dialog, folder + QStringLiteral("/about.png")) && ok;
    }
    return ok ? 0 : 1;
}
