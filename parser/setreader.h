#pragma once
// Reading sample sets: the one routine through which every sample of an input file is read.

#include <cstdint>
#include <vector>

#include "configuration/settings.h"
#include "parser/formats.h"
#include "parser/inputfiles.h"

// The most bytes of text the reading takes at once.
inline constexpr int64_t kTextWindowBytes = 1000000;

// Text that the caller reads ahead of the parsing (the conversion worker does, on the second
// core). `window` gives the bytes of the combined file at [position, position + size), size at
// most kTextWindowBytes, or fewer where the file ends (*got says how many), followed by a NUL
// and kTextScanPadding readable bytes. They stay valid until the next call. It returns null
// when it cannot give that window; the text is then read from the file.
struct TextWindows {
    const char *(*window)(void *context, int64_t position, int64_t size, int64_t *got) = nullptr;
    void *context = nullptr;
};

// Scratch memory a caller may keep across calls so that reading allocates nothing per call.
struct SetReaderScratch {
    std::vector<char> buffer;
    // Where the text of a combined file comes from while set; positions must then only grow
    // from call to call.
    const TextWindows *textWindows = nullptr;
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

// The binary part of the reading, for a caller that has read the bytes itself (the conversion
// worker reads ahead on a second thread): decodes `count` sets of a binary format exactly as
// Parser_GetSetsFromFile does.
//  bytesI : the first set's bytes of the combined file or the I file
//  bytesQ : the first set's bytes of the Q file (separate files; ignored otherwise)
//  iValues, qValues: arrays of at least count values; scaled and offset on return
// Returns count, or 0 for a text format or a set layout that does not fit the format.
[[nodiscard]] int Parser_DecodeSets(const ConversionSettings &settings, const char *bytesI, const char *bytesQ,
                                    int count, double *iValues, double *qValues);
