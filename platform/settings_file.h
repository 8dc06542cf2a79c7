#pragma once
// The settings file's place. It lives in the configuration folder: the
// temporary folder that older versions used is emptied at boot, which lost the
// user's choices.

#include <string>

#include <QString>

namespace platform {

// new_folder + name, with a file of that name left in old_folder moved there
// first when the new place has none (once: the old file is gone afterwards).
// The file is created empty when it is still missing. Empty when new_folder is
// empty (unusable). old_folder may be empty (nothing to take over).
QString PrepareSettingsFile(const std::string& new_folder, const std::string& old_folder,
                            const QString& name);

}  // namespace platform
