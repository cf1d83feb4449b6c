#pragma once
// The previews of the first input file and the located comment and sample rate.

#include <array>
#include <string>

#include "layouts/layouts.h"

inline constexpr int kMetaPreviewBytes = 16384;

// Where a comment or sample rate was found in a preview.
struct MetadataItem {
    int inHeader = 1;          // 1: in the header preview; 0: trailer preview (also for "User")
    int beginPos = -1;         // index of the value's first byte; -1 when not located
    int endPos = -1;           // index of the value's last byte; -1 when not located
    char text[100] = {};       // the comment (comment only)
    double value = -1.0;       // the sample rate in MHz (sample rate only); -1.0 when unknown
    int valid = 0;             // sample rate only: 1 when a rate within limits is known
};

struct MetadataState {
    int metaPreviewLength = 0;                             // bytes in each preview
    std::array<char, kMetaPreviewBytes + 1> headerPreview{};   // first bytes of the file + NUL
    std::array<char, kMetaPreviewBytes + 1> trailerPreview{};  // last bytes of the file + NUL
    MetadataItem commentItem;
    MetadataItem samplerateItem;

    // The container facts of the analysed file, for the values the configuration reads from
    // each job's own file; read once per file and kind.
    std::string analysedPath;                              // the combined file or the I file
    ContainerKind containerKind = ContainerKind::None;     // the kind `container` was read as
    std::string containerPath;                             // the file it was read from
    LayoutReading container;
    // Set when the file's container declares another sample layout than the configuration
    // ("file: ..., configuration: ..."); the job is then refused.
    std::string containerMismatch;
};
