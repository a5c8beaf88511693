#pragma once
// Running a test under another locale, as a desktop set to another language starts a program:
// both the C library's locale and the C++ global locale.

#include <clocale>
#include <locale>
#include <string>

namespace morph::testdata {

// The German locale, with its decimal comma; scripts/setup.sh makes it available.
inline constexpr const char* kGermanLocale = "de_DE.UTF-8";

// Makes `name` the C library's and the C++ global locale ("C" for the classic one); false, with
// nothing changed, when the machine lacks it.
inline bool useLocale(const char* name) {
    if (std::setlocale(LC_ALL, name) == nullptr) return false;
    std::locale::global(name == std::string("C") ? std::locale::classic() : std::locale(name));
    return true;
}

// Whether the machine has the locale `name`; the C library's locale stays as it is.
inline bool hasLocale(const char* name) {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string restore = previous ? previous : "C";
    const bool there = std::setlocale(LC_ALL, name) != nullptr;
    std::setlocale(LC_ALL, restore.c_str());
    return there;
}

}  // namespace morph::testdata
