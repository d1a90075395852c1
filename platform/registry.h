// The registry replacement: a small store file of string values under the user's
// configuration folder ($XDG_CONFIG_HOME/trelvix/registry.ini, else ~/.config/...),
// overridden by $TRELVIX_REGISTRY_FILE (tests). Keys are paths like
// "Software\Ovistra web server\Settings"; names and keys match case-insensitively.
#pragma once
#include <string>

namespace plat {

bool RegGetString(const std::string& key, const std::string& name, std::string& value);
bool RegSetString(const std::string& key, const std::string& name, const std::string& value);

// The profile key the application names at start-up ("Ovistra web server").
void SetRegistryKey(const std::string& applicationKey);
std::string GetRegistryKey();

// The user's Desktop folder: the XDG desktop folder, else $HOME/Desktop (no trailing '/').
std::string DesktopFolder();

}  // namespace plat
