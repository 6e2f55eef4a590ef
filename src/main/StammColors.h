#pragma once

#include <QColor>

// The two colours of the status text: navy while work runs, green when done.
namespace StammColors {
inline const QColor Navy{0, 0, 128};
inline const QColor Green{0, 128, 0};
} // namespace StammColors
