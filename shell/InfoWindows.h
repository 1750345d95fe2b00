#pragma once

#include <QWidget>

namespace kiro {

class ShellState;

// Where both information windows appear in the main window's client area, in twips.
inline constexpr int kInfoWindowLeftTwips = 4000;
inline constexpr int kInfoWindowTopTwips = 1480;

// "产品信息" (Dialog): the drive model and the date of the software.
class ProductInfoWindow : public QWidget {
    Q_OBJECT
public:
    explicit ProductInfoWindow(const ShellState& state, QWidget* parent = nullptr);
};

// "联系我们" (Info): the maker's contact details, seven lines.
class ContactWindow : public QWidget {
    Q_OBJECT
public:
    explicit ContactWindow(QWidget* parent = nullptr);
};

} // namespace kiro
