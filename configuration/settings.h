#pragma once
// The conversion settings: typed values derived from the configuration record by the update
// steps (metadata, IQ structure, signal processing) each time the configuration is checked.
// The reader, the runner and the previews read only these values.

#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kCommentMaxChars = 95;

struct ConversionSettings {
    // IQ structure (derived from the format, order, markers, offsets, scale and interval items).
    int separateFiles = 0;
    int sampleFormat = 7;            // format code; 0 to 2 are the text formats
    int swapBytes = 0;
    int valuesPerSet = 2;
    int bytesPerSet = 4;
    int iValueIndex = 0;
    int qValueIndex = 1;
    int swapIQ = 0;
    int textIMarkers = 0;
    int textQMarkers = 0;
    int textIOnly = 0;
    int textQEqualsI = 0;
    int iOffset = 0;
    int qOffset = 0;
    double scale = 1.0;
    double unsignedCentre = 0.0;     // subtracted from unsigned values before the scale; 0.0 when off
    int maxLength = 1024 * 1048576;  // sets; bounds lastSet
    int64_t totalSets = 0;
    int64_t firstSet = 1;            // 1-based
    int64_t lastSet = 0;             // 1-based, inclusive

    // Metadata (derived from the header, trailer, comment and sample rate items and the file).
    int headerLength = -1;           // -1 while unknown
    int trailerLength = -1;          // -1 while unknown
    std::string comment;             // at most 95 characters
    double samplerate = -1.0;        // MHz; -1.0 while unknown

    // Signal processing.
    int mirrorOn = 0;
    double shiftFraction = 0.0;      // f/fs
    int windowCode = 2;              // 1 rectangular, 2 triangular, 3 Hanning, 4 Hamming, 5 Blackman
    double cutoffFraction = 0.25;    // f/fs
    int tapCount = 1;                // 1 while the filter is off
    std::vector<double> coefficients{1.0};  // preview filter at the input rate
    int outputRateTenths = 10;       // output rate = input rate x N / 10

    // 1 while a text sample format is configured: the previews and the layout follow it, and
    // the runner never filters.
    int textMode = 0;
};

// The number of sets a negative header or trailer length stands for when lengths are subtracted.
inline int64_t Settings_KnownLength(int length) { return length < 0 ? 0 : length; }
