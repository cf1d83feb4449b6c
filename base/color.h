#pragma once
// An RGB colour. Channels are plain integers: the metadata dumps add and remove amounts on
// them and may leave 0 .. 255 in between; views clamp only when they draw.

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const Rgb &, const Rgb &) = default;
};

inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kGrey{150, 150, 150};
inline constexpr Rgb kLightGreen{200, 255, 200};
inline constexpr Rgb kLightRed{255, 200, 200};
inline constexpr Rgb kLightYellow{255, 255, 200};

