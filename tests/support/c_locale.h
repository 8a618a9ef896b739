// The test programs run in the locale of their environment (the suite runs
// once more under a comma-decimal locale), while printf and strtod serve as
// references only in the C locale. A CLocaleScope puts this thread in the C
// locale until it goes out of scope.
#pragma once

#include <clocale>
#include <locale.h>

#ifdef _WIN32
#include <string>

// The Windows C runtime has no newlocale: this thread takes a locale of its
// own, set to C, and gets the one it had back.
class CLocaleScope {
public:
    CLocaleScope() : m_mode(_configthreadlocale(_ENABLE_PER_THREAD_LOCALE)) {
        const char* current = std::setlocale(LC_ALL, nullptr);
        m_previous = current ? current : "C";
        std::setlocale(LC_ALL, "C");
    }
    ~CLocaleScope() {
        std::setlocale(LC_ALL, m_previous.c_str());
        _configthreadlocale(m_mode);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    int m_mode;
    std::string m_previous;
};
#else
class CLocaleScope {
public:
    CLocaleScope()
        : m_c(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0))), m_previous(uselocale(m_c)) {}
    ~CLocaleScope() {
        uselocale(m_previous);
        freelocale(m_c);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t m_c;
    locale_t m_previous;
};
#endif
