#pragma once
// What the IQ and signal processing previews keep between two redraws.

#include <vector>

#include "parser/setreader.h"

struct PreviewState {
    std::vector<double> savedSpectrum;  // the IQ preview's spectrum; empty while none is drawn
    std::vector<double> i, q;           // the window read from the file (grown, never shrunk)
    std::vector<double> a, b, t;        // the signal processing curves' work arrays
    SetReaderScratch scratch;
    // Running extremes of the scaled samples while CHECKBOX_SCALE is on.
    bool autoScaleActive = false;
    double autoScaleMin = 0.0;
    double autoScaleMax = 0.0;
};
