#pragma once

// Switches the whole process to a decimal-comma locale for one scope, as a host does that
// calls setlocale(LC_ALL, "") under one, and restores the locale before. scripts/setup
// generates the locale; a test asserts active() so that it fails, not passes, without it.

#include <clocale>
#include <string>

class Comma_Locale {
public:
    Comma_Locale() : saved_(std::setlocale(LC_ALL, nullptr))
    {
        active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") && std::localeconv()->decimal_point[0] == ',';
    }
    ~Comma_Locale() { std::setlocale(LC_ALL, saved_.c_str()); }
    Comma_Locale(const Comma_Locale&) = delete;
    Comma_Locale& operator=(const Comma_Locale&) = delete;

    bool active() const { return active_; }

private:
    std::string saved_;
    bool active_ = false;
};

#define ASSERT_COMMA_LOCALE(scope) \
    ASSERT_TRUE((scope).active()) << "the de_DE.UTF-8 locale is missing: scripts/setup generates it"
