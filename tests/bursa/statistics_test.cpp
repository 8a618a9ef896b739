// Quantiles of the F and t distributions against printed tables (to their
// four or five digits) and against closed forms (to 1e-9).
#include <gtest/gtest.h>

#include <cmath>

#include "bursa/statistics.h"

using namespace zelk;

namespace {

TEST(Quantiles, AgreeWithPrintedTables) {
    struct Row {
        char kind;  // 'F' or 't'
        double alpha, d1, d2, value;
    };
    const Row rows[] = {
        {'t', 0.005, 10, 0, 3.1693},  {'t', 0.025, 5, 0, 2.5706},   {'t', 0.05, 20, 0, 1.7247},
        {'t', 0.0005, 30, 0, 3.6460}, {'F', 0.01, 3, 10, 6.5523},   {'F', 0.05, 3, 14, 3.3439},
        {'F', 0.01, 2, 20, 5.8489},   {'F', 0.05, 4, 30, 2.6896},   {'F', 0.01, 1, 1, 4052.18},
        {'F', 0.001, 3, 20, 8.0984},  {'F', 0.05, 10, 10, 2.9782},  {'F', 0.01, 3, 60, 4.1259},
    };
    for (const Row& r : rows) {
        const double q = r.kind == 't' ? StudentTUpperQuantile(r.alpha, r.d1)
                                       : FUpperQuantile(r.alpha, r.d1, r.d2);
        EXPECT_NEAR(q, r.value, 6e-5 * r.value) << r.kind << " " << r.alpha << " " << r.d1 << " " << r.d2;
        if (r.kind == 'F') {
            EXPECT_NEAR(FUpperTail(q, r.d1, r.d2), r.alpha, 1e-12);
        }
    }
}

TEST(Quantiles, AgreeWithClosedForms) {
    for (double alpha : {0.2, 0.05, 0.01, 1e-4, 1e-7}) {
        SCOPED_TRACE(alpha);
        // t with one degree of freedom is Cauchy; with two it is algebraic.
        EXPECT_NEAR(StudentTUpperQuantile(alpha, 1), std::tan(M_PI * (0.5 - alpha)),
                    1e-9 * std::tan(M_PI * (0.5 - alpha)));
        const double t2 = (1 - 2 * alpha) / std::sqrt(2 * alpha * (1 - alpha));
        EXPECT_NEAR(StudentTUpperQuantile(alpha, 2), t2, 1e-9 * t2);
        for (double nu : {1.0, 3.0, 17.0, 250.0}) {
            // F(2, nu): P(F > f) = (1 + 2 f / nu)^(-nu / 2).
            const double f2 = nu / 2 * (std::pow(alpha, -2 / nu) - 1);
            EXPECT_NEAR(FUpperQuantile(alpha, 2, nu), f2, 1e-9 * f2) << nu;
            // F(nu, 2): P(F > f) = 1 - (1 - z)^(nu / 2), z = 2 / (2 + nu f).
            const double z = -std::expm1(2 / nu * std::log1p(-alpha));
            const double fn = 2 * (1 - z) / (nu * z);
            EXPECT_NEAR(FUpperQuantile(alpha, nu, 2), fn, 1e-9 * fn) << nu;
        }
    }
}

TEST(Quantiles, RefuseMeaninglessArguments) {
    for (double q : {FUpperQuantile(0, 3, 10), FUpperQuantile(1, 3, 10), FUpperQuantile(0.01, 0, 10),
                     FUpperQuantile(0.01, 3, 0.2), StudentTUpperQuantile(0.7, 5),
                     RegularizedIncompleteBeta(2, 3, 1.5)}) {
        EXPECT_TRUE(std::isnan(q));
    }
    EXPECT_EQ(RegularizedIncompleteBeta(2, 3, 0), 0.0);
    EXPECT_EQ(RegularizedIncompleteBeta(2, 3, 1), 1.0);
}

}  // namespace
