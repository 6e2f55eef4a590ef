#pragma once

#include <QString>

// The record every component of the family leaves in the settings store at
// start-up: key + "\CI\" + class name with the values "Company", "Version"
// and "Last Change". Failures are silent.
namespace ComponentInfo {

void write(const QString& programKey, const QString& className, const QString& version, const QString& lastChange);

} // namespace ComponentInfo
