// The program's key in the current user's registry hive. The global settings
// live under ISPRegKey + "\GLOBAL", old projects under ISPRegKey + "\PROJECTS".
#pragma once

inline constexpr const char ISPRegKey[] = "Software\\lumora\\NorvoISP0001";
