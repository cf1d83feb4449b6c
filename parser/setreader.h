#pragma once
// Reading sample sets: the one routine through which every sample of an input file is read.

#include <cstdint>
#include <vector>

#include "configuration/settings.h"
#include "parser/inputfiles.h"

// Scratch memory a caller may keep across calls so that reading allocates nothing per call.
struct SetReaderScratch {
    std::vector<char> buffer;
};

// Reads up to maxSets sample sets starting at *posI / *posQ and advances both.
//  posI, posQ      : byte positions in the first file and the Q file (binary: equal)
//  iValues, qValues: caller's arrays of at least maxSets values; scaled and offset on return
// Returns the number of complete sets delivered; 0 when nothing more can be read.
[[nodiscard]] int Parser_GetSetsFromFile(const InputFiles &files, const ConversionSettings &settings,
                                         int64_t *posI, int64_t *posQ, int maxSets,
                                         double *iValues, double *qValues);

// The same, with the caller's scratch memory instead of a buffer allocated for the call.
[[nodiscard]] int Parser_GetSetsFromFile(const InputFiles &files, const ConversionSettings &settings,
                                         SetReaderScratch &scratch, int64_t *posI, int64_t *posQ,
                                         int maxSets, double *iValues, double *qValues);
