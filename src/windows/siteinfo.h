#pragma once

// The program's version and its web page, shown in the version window.
namespace trimlet {

inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 1;
inline constexpr int kVersionRevision = 0;

// The name the link shows and the address it opens.
inline constexpr char kSiteName[] = "ホーム";
inline constexpr char kSiteAddress[] = "https://trimlet.example.org/";

}  // namespace trimlet
