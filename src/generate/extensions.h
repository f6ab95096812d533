#pragma once

#include <QStringList>

#include <array>
#include <string_view>

namespace mixgen {

class SettingsStore;

// The song extensions the search can look for, in list order; the settings refer to them by
// index only ("Ext0" ... "Ext12"). "ITZ " keeps its trailing blank.
inline constexpr std::array<std::string_view, 13> kExtensions = {
    "MP?", "WMA", "WAV", "MOD", "STM", "S3M", "IT", "XM", "MDZ", "STZ", "S3Z", "ITZ ", "XMZ"};

// The extensions the search uses, in list order: every item whose setting "Ext<index>"
// (section "Settings") reads "1"; the first item alone when none does.
QStringList enabledExtensions(const SettingsStore& settings);

} // namespace mixgen
