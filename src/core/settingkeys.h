#pragma once

// Every key of the settings store, named once with its section. Each reader passes its own
// default, as the readers do not all agree; the usual default stands beside the key.
namespace mixgen::keys {

inline constexpr char kSettings[] = "Settings";
inline constexpr char kLoader[] = "Loader";
inline constexpr char kPathMRU[] = "PathMRU";
inline constexpr char kOutputMRU[] = "OutputMRU";

inline constexpr char kOpenWith[] = "OpenWith"; // "Explorer" or "Winamp"
inline constexpr char kOpenWithDefault[] = "Explorer";
inline constexpr char kPlayerPath[] = "Winamp.exe"; // full path of the player executable
inline constexpr char kAction[] = "Action";         // "None", "Play" or "Enqueue"
inline constexpr char kActionDefault[] = "None";
inline constexpr char kSplashScreen[] = "SplashScreen"; // "1" or "0"
inline constexpr char kSplashScreenDefault[] = "1";
inline constexpr char kInternalDlg[] = "InternalDlg"; // "1" or "0"
inline constexpr char kInternalDlgDefault[] = "0";
inline constexpr char kExtPrefix[] = "Ext"; // "Ext0" ... "Ext12": "1" when selected

inline constexpr char kIsLoader[] = "IsLoader"; // "True" while an instance collects
inline constexpr char kFolders[] = "Folders";   // folders joined with ";"

// The playlist style, beyond the design's own keys: a section of its own, all off by default.
inline constexpr char kStyle[] = "Style";
inline constexpr char kStyleMinutes[] = "Minutes";   // length target in minutes, "0" for none
inline constexpr char kStyleBalance[] = "Balance";   // "1": a fair share for every folder
inline constexpr char kStyleExtended[] = "Extended"; // "1": extended M3U entries
inline constexpr char kStyleRelative[] = "Relative"; // "1": paths relative to the playlist
inline constexpr char kStyleOffDefault[] = "0";

} // namespace mixgen::keys
