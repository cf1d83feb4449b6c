#pragma once
// The update step that turns the signal processing texts of the configuration into the typed
// settings: mirror, shift, low-pass window, cut-off, taps, preview coefficients, output rate.

#include "session/session.h"

void Parser_UpdateSignalProcessingStructure(Session &session);

// Gives a missing or invalid cut-off and number of taps the values the filter takes for them
// ("0.25" and "256"), in the record and in the tree, so that a filter just switched on works at
// once and shows what it uses. Valid texts stay as they are. Marks nothing itself: the update
// step above checks the texts.
void Parser_FillFilterValues(Session &session);
