// The 8-bit code page of the Linux build: the one Wine gives a Windows
// program in the same locale, so that game.ini reads alike on both sides.
#pragma once

#include <string_view>

namespace platform::linux_os {

// The code page Wine's locale data give the locale `name`
// (language[_territory][.codeset][@modifier]); 1252 for C, POSIX and every
// language without one of its own.
unsigned CodePageForLocale(std::string_view name);

// The locale of character types, as glibc takes it from the environment:
// LC_ALL, else LC_CTYPE, else LANG, the first one set and not empty; else "C".
std::string_view CtypeLocaleName();

}  // namespace platform::linux_os
