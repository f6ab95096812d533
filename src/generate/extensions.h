#pragma once

#include <array>
#include <string_view>

namespace mixgen {

// The song extensions the search can look for, in list order; the settings refer to them by
// index only ("Ext0" ... "Ext12"). "ITZ " keeps its trailing blank.
inline constexpr std::array<std::string_view, 13> kExtensions = {
    "MP?", "WMA", "WAV", "MOD", "STM", "S3M", "IT", "XM", "MDZ", "STZ", "S3Z", "ITZ ", "XMZ"};

} // namespace mixgen
