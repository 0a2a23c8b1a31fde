#pragma once

#include <QIcon>
#include <QString>

namespace tambrel {

// A tool-bar icon from the ones built into the program (a bare system has no icon theme).
QIcon ToolIcon(const QString& name);

} // namespace tambrel
