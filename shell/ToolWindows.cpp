#include "ToolWindows.h"

namespace kiro {

const ToolWindowRole& RoleOf(ToolWindow window) {
    // The fault query window sets ToolWindowOpen without an element of its own, and the two
    // storage windows set nothing: the menu rules depend on exactly these differences.
    static const ToolWindowRole currentLoop{QStringLiteral("Form1"), QStringLiteral("电流环"), 1,
                                            true, 1};
    static const ToolWindowRole parameters{QStringLiteral("Form3"), QStringLiteral("参数设定"), 3,
                                           true, 3};
    static const ToolWindowRole faults{QStringLiteral("Form4"), QStringLiteral("故障查询"), 4, true,
                                       0};
    static const ToolWindowRole table{QStringLiteral("Form5"), QStringLiteral("配置参数显示"), 5,
                                      false, 0};
    static const ToolWindowRole archive{QStringLiteral("Form7"), QStringLiteral("存档参数"), 0,
                                        false, 0};
    switch (window) {
    case ToolWindow::CurrentLoop:
        return currentLoop;
    case ToolWindow::Parameters:
        return parameters;
    case ToolWindow::Faults:
        return faults;
    case ToolWindow::ParameterTable:
        return table;
    case ToolWindow::Archive:
        break;
    }
    return archive;
}

} // namespace kiro
