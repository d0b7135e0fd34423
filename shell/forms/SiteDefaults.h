#pragma once
// The settings key and the values written into it the first time the program starts for a user.
// An operator needs the two passwords for the first login; they are given in the README.

namespace talvern::defaults {

inline constexpr char kSettingsKey[] = "SoftwareRegQ5";

inline constexpr char kSystemCode[] = "1";
inline constexpr char kAdminPassword[] = "9";
inline constexpr char kUserPassword[] = "5";

} // namespace talvern::defaults
