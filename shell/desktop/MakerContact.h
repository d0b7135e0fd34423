#pragma once
// How to reach the program's maker. These are neutral placeholders of this project: a site that
// ships the program puts its own maker's addresses here, in this one place.

namespace talvern::maker {

inline constexpr char kWebAddress[] = "https://example.org/";
inline constexpr char kEmailAddress[] = "talvern@example.org";

// The six lines of the About window: name, street address, postal code and town, an empty line,
// telephone and fax, e-mail.
inline constexpr const char* kAboutLines[] = {
    "TALVERN",
    "(adres producenta)",
    "(kod pocztowy, miejscowość)",
    "",
    "tel./fax: (numer producenta)",
    kEmailAddress,
};

} // namespace talvern::maker
