#pragma once
// Drawing helpers the item models share: core colours as Qt colours and brushes, a text colour
// that stays readable on a given cell background, and the small status icons that the
// configuration tree, the job list and the status log show.

#include <QColor>
#include <QIcon>
#include <QVariant>

#include "base/color.h"
#include "configuration/statuslog.h"

// The colour with each channel clamped to 0 .. 255 (core colours may leave that range).
QColor ToQColor(Rgb color);

// A cell's BackgroundRole value: a solid brush of the colour.
QVariant BackgroundRole(Rgb color);

// Black on light backgrounds, white on dark ones, so that cell text stays readable on the
// cells' own colours whatever the system palette is.
QColor ReadableText(Rgb background);

// The text colour of a dimmed cell: halfway between the readable text colour and the
// background, a mid grey on the light cell colours.
QColor DimmedText(Rgb background);

// The status log's marks: a green check, an orange question mark, a red cross. Icons hold
// 16 and 32 pixel images, so that they stay crisp at a device pixel ratio of 2.
QIcon StatusIconImage(StatusIcon icon);

// The same marks faded, for the status log's older rows.
QIcon FadedStatusIconImage(StatusIcon icon);

// The image of a job or status item: 0 success (the check), 1 failure (the cross), a negative
// image none (a null icon).
QIcon JobImage(int image);

// The mark of a faulty configuration item and of a branch with faults below it.
QIcon FaultIcon();
