// The program's web addresses, in one place: the Web Page command and the
// about box's link open the same home page.
#pragma once

inline constexpr char kHomePageAddress[] = "https://pixmend.example.org/";
