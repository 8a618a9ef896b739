#include "gis/gdal_support.h"

#include <mutex>

#include <cpl_conv.h>
#include <cpl_error.h>

namespace zelk::gis {

void InitGdal() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

namespace {
constexpr std::size_t kMaxGdalText = 400;
}

GdalErrors::GdalErrors() { CPLPushErrorHandlerEx(&GdalErrors::Handler, this); }

GdalErrors::~GdalErrors() { CPLPopErrorHandler(); }

void CPL_STDCALL GdalErrors::Handler(CPLErr level, CPLErrorNum, const char* message) {
    auto* self = static_cast<GdalErrors*>(CPLGetErrorHandlerUserData());
    if (!self || level == CE_Debug || level == CE_None) return;
    if (level == CE_Failure || level == CE_Fatal) self->m_failed = true;
    if (self->m_text.size() >= kMaxGdalText || !message) return;
    if (!self->m_text.empty()) self->m_text += "; ";
    self->m_text += message;
    if (self->m_text.size() > kMaxGdalText) {
        self->m_text.resize(kMaxGdalText);
        // Not cut inside a UTF-8 character.
        while (!self->m_text.empty() &&
               (static_cast<unsigned char>(self->m_text.back()) & 0xC0) == 0x80) {
            self->m_text.pop_back();
        }
        if (!self->m_text.empty() && static_cast<unsigned char>(self->m_text.back()) >= 0xC0) {
            self->m_text.pop_back();
        }
        self->m_text += "…";
    }
}

std::string GdalErrors::Suffix() const {
    if (m_text.empty()) return {};
    return "（GDAL：" + m_text + "）";
}

ThreadConfig::ThreadConfig(const char* key, const char* value) : m_key(key) {
    if (const char* previous = CPLGetThreadLocalConfigOption(key, nullptr)) {
        m_previous = previous;
        m_hadPrevious = true;
    }
    CPLSetThreadLocalConfigOption(key, value);
}

ThreadConfig::~ThreadConfig() {
    CPLSetThreadLocalConfigOption(m_key, m_hadPrevious ? m_previous.c_str() : nullptr);
}

}  // namespace zelk::gis
