// Driving the main dialog's 转换参数 as a user does: the steps dialog, and
// in it the seven-parameter dialog of a step.
#pragma once

#include <QPushButton>
#include <functional>
#include <memory>

#include "ui/bursa_param_dlg.h"
#include "ui/chain_dlg.h"
#include "ui/convert_dlg.h"
#include "ui/templates.h"
#include "ui_test_support.h"

// 转换参数, then action on the steps dialog (which the action ends).
// Returns whether the action ran.
inline bool InStepsDialog(CConvertDlg& main, const std::function<void(CChainDlg*)>& action) {
    auto ran = WhenModal([&](QWidget* w) {
        auto* chain = qobject_cast<CChainDlg*>(w);
        ASSERT_NE(chain, nullptr);
        action(chain);
    });
    main.Item<QPushButton>(convert_ids::kEditParams)->click();
    return *ran;
}

// In the steps dialog, the seven-parameter dialog of step `step` (编辑…),
// or of a new step (七参数…) when step is -1; action runs there and ends it.
// Returns whether the action ran.
inline bool InSevenDialog(CChainDlg* chain, int step, const std::function<void(CBursaParamDlg*)>& action) {
    auto ran = WhenModal([&](QWidget* w) {
        auto* seven = qobject_cast<CBursaParamDlg*>(w);
        ASSERT_NE(seven, nullptr);
        action(seven);
    });
    if (step < 0) {
        chain->Item<QPushButton>(chain_ids::kAddSeven)->click();
    } else {
        chain->Select(step);
        chain->Item<QPushButton>(chain_ids::kEdit)->click();
    }
    return *ran;
}

// 转换参数, the seven parameters of the first step (a new one when there is
// none), action there; then the steps dialog confirmed, or cancelled.
inline bool EditFirstSevenStep(CConvertDlg& main, const std::function<void(CBursaParamDlg*)>& action,
                               bool confirm = true) {
    bool inner = false;
    const bool outer = InStepsDialog(main, [&](CChainDlg* chain) {
        inner = InSevenDialog(chain, chain->Steps().empty() ? -1 : 0, action);
        chain->Item<QPushButton>(confirm ? chain_ids::kAccept : chain_ids::kCancel)->click();
    });
    return outer && inner;
}
