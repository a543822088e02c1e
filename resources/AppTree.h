#pragma once

#include <QString>

namespace servobench {

// Reads the embedded template ":/template/data.json" and merges it into the
// root of the data tree (adding and overwriting, removing nothing). False
// when the template could not be read.
bool importTemplate();

// Merges the user's configuration file into the "config" branch: values
// replace the defaults, unknown keys are added, foreign elements reported.
void loadConfiguration(const QString& path = QStringLiteral("config.xml"));

// Writes the "config" branch without its hidden nodes.
void saveConfiguration(const QString& path = QStringLiteral("config.xml"));

} // namespace servobench
