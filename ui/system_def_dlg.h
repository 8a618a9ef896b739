// The system dialog (自定义坐标系): a coordinate system of the user's own,
// an independent or city system, with every field of a system file
// (workflow/system_file.h): its name, the ellipsoid (a datum of the table
// or a and 1/f of its own), the form, and for a Gauss projection the
// central meridian, k0, false easting and northing and the projection
// plane (height H0, the latitude where R is taken, the origin it scales
// about). A line under the fields says what the plane comes to: q = H0/R in
// mm/km and the transverse Mercator with k0·(1 + q) and the moved false
// origin. 打开… reads a system file into the fields, 保存… writes them as
// one; 确定 ends with kIdOk when the fields make a system, which System()
// then gives.
#pragma once

#include <QString>

#include "ui/data_exchange.h"
#include "ui/dialog_template.h"
#include "workflow/coordinate_system.h"

class CSystemDefDlg : public CTemplateDialog {
    Q_OBJECT
public:
    // Starts on `start` (may be null: a new Gauss system on CGCS2000).
    explicit CSystemDefDlg(const zelk::Crs* start = nullptr, QWidget* parent = nullptr);
    ~CSystemDefDlg() override;

    // The system the fields made when the dialog ended with kIdOk.
    const zelk::Crs& System() const { return m_system; }
    // Shows a system in the fields, as 打开… does.
    void ShowSystem(const zelk::Crs& crs);

    // Fields, in exchange order.
    int m_datum = 0;  // 0 CGCS2000, 1 西安80, 2 北京54, 3 WGS84, 4 自定义椭球
    int m_form = 0;   // 0 高斯投影, 1 大地坐标, 2 地心坐标
    double m_a = 0.0;
    double m_rf = 0.0;
    double m_meridian = 0.0;  // packed DMS
    double m_k0 = 1.0;
    double m_falseEasting = 500000.0;
    double m_falseNorthing = 0.0;
    double m_planeHeight = 0.0;
    double m_planeLatitude = 0.0;  // packed DMS
    double m_x0 = 0.0;
    double m_y0 = 500000.0;

    // 确定, 打开…, 保存….
    void OnAccept();
    void OnOpen();
    void OnSave();

protected:
    void DoDataExchange(CDataExchange& dx) override;

private:
    // The system the fields make, or nothing (and why shown) when they make
    // none.
    std::optional<zelk::Crs> ReadSystem();
    // The system the fields make as they read now, without a word; nothing
    // when one does not read.
    std::optional<zelk::Crs> QuietSystem() const;
    void ApplyForm();
    void UpdateDerived();

    zelk::Crs m_system;
};
