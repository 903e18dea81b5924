#pragma once

// The program's version: the about box, --version, the HTTP User-Agent.
// The build's project version (CMakeLists.txt) must say the same.
inline constexpr char OstrekonVersion[] = "0.9";
