// The test programs run in the locale of their environment (the suite runs
// once more under a comma-decimal locale), while printf and strtod serve as
// references only in the C locale. A CLocaleScope puts this thread in the C
// locale until it goes out of scope.
#pragma once

#include <clocale>
#include <locale.h>

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
