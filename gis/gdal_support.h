// What the readers and writers of this library share in their use of GDAL:
// its drivers registered once, its error messages collected instead of
// printed, and the handles closed by their owners.
#pragma once

#include <memory>
#include <string>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

namespace zelk::gis {

// Registers GDAL's drivers the first time it is called; safe from any thread.
void InitGdal();

// While one lives, GDAL's errors and warnings on the calling thread are
// collected here; nothing is printed. Lives for one call of a reader or
// writer (GDAL keeps a stack of handlers per thread, so a reader and a
// writer used in turn each see only their own messages).
class GdalErrors {
public:
    GdalErrors();
    ~GdalErrors();
    GdalErrors(const GdalErrors&) = delete;
    GdalErrors& operator=(const GdalErrors&) = delete;

    // A failure (CE_Failure or CE_Fatal) was reported.
    bool Failed() const { return m_failed; }
    // Anything, warnings included, was reported.
    bool Any() const { return !m_text.empty(); }
    // "（GDAL：first message; second message）", or empty when nothing was
    // reported; the text is cut at a few hundred bytes.
    std::string Suffix() const;

private:
    static void CPL_STDCALL Handler(CPLErr level, CPLErrorNum number, const char* message);
    std::string m_text;
    bool m_failed = false;
};

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

struct FeatureDeleter {
    void operator()(OGRFeature* feature) const { OGRFeature::DestroyFeature(feature); }
};
using FeaturePtr = std::unique_ptr<OGRFeature, FeatureDeleter>;

// Sets a GDAL configuration option on the calling thread while it lives,
// and restores the previous value after.
class ThreadConfig {
public:
    ThreadConfig(const char* key, const char* value);
    ~ThreadConfig();
    ThreadConfig(const ThreadConfig&) = delete;
    ThreadConfig& operator=(const ThreadConfig&) = delete;

private:
    const char* m_key;
    std::string m_previous;
    bool m_hadPrevious = false;
};

}  // namespace zelk::gis
