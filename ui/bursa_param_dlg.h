// The seven-parameter dialog: shows and edits the seven parameters and
// estimates them from two files of common points.
//
// It works on its own copy: the caller reads the seven values back (by
// name, CopyTo) only when the dialog ended with kIdOk ("确认").
#pragma once

#include <QString>

#include "bursa/seven_params.h"
#include "ui/data_exchange.h"
#include "ui/dialog_template.h"

class CBursaParamDlg : public CTemplateDialog {
    Q_OBJECT
public:
    // params may be null: the seven values then start at 0.
    explicit CBursaParamDlg(const SevenParams* params = nullptr, QWidget* parent = nullptr);
    ~CBursaParamDlg() override;

    // The seven values into a record, field by field by name.
    void CopyTo(SevenParams& params) const;

    // Fields, in the order the dialog declares them.
    QString m_afterFile;   // full path chosen with FILE2; empty = none
    QString m_beforeFile;  // full path chosen with FILE1
    int m_beforeSystem = -1;
    double m_beforeMeridian = 0.0;  // packed DMS
    double m_afterMeridian = 0.0;
    double m_dX0 = 0.0;  // m
    double m_dY0 = 0.0;
    double m_dZ0 = 0.0;
    double m_betaX = 0.0;  // arc-seconds
    double m_betaY = 0.0;
    double m_betaZ = 0.0;
    double m_K = 0.0;  // ppm
    int m_afterSystem = -1;
    int m_beforeZoning = 0;  // zoning item: 0 the meridian field, 1 3-degree, 2 6-degree zones
    int m_afterZoning = 0;

    // 计算: estimate from the two files; the dialog stays open. Nothing
    // happens past an unreadable field.
    void OnOK();
    // 确认: read every field and close with kIdOk if they all read.
    void OnAccept();
    // A system or zoning chosen: that side's zoning list and meridian
    // field follow (see SideFormOf); the captions stay.
    void OnSelchangeBeforeSystem();
    void OnSelchangeAfterSystem();
    void OnSelchangeBeforeZoning();
    void OnSelchangeAfterZoning();
    void OnPickBeforeFile();
    void OnPickAfterFile();

protected:
    void DoDataExchange(CDataExchange& dx) override;

private:
    void PickCommonPointFile(const char* filter, QString& path, int buttonId);
    void ApplyForm(int system, int& zoning, int zoningId, int meridianId);
    void ApplyBeforeForm();
    void ApplyAfterForm();
};
