#pragma once
// Where the settings file lives: beside the executable on Windows, in the
// user's configuration folder elsewhere (the executable's folder is not
// writable there). Empty when no place can be named; the settings then read
// as their defaults and are not saved. The platform's settings store
// (posix/, win32/) answers GetSettingsFilePath; the rules below, which
// every platform can test, are with the store's shared ones
// (profile_store.cpp).
#include <string>
#include <string_view>

constexpr std::string_view SETTINGS_FILE_NAME = "gravelmoor.ini";

std::string GetSettingsFilePath();

// The file beside a module: the module's path cut at its last backslash,
// unless that backslash is the first character (then the whole path
// stays), followed by "\gravelmoor.ini".
std::string SettingsPathBesideModule(std::string_view strModulePath);

// $XDG_CONFIG_HOME/gravelmoor/gravelmoor.ini when that variable holds an
// absolute path, else <home>/.config/gravelmoor/gravelmoor.ini; empty
// without either.
std::string SettingsPathInConfigHome(std::string_view strXdgConfigHome, std::string_view strHome);
