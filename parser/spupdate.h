#pragma once
// The update step that turns the signal processing texts of the configuration into the typed
// settings: mirror, shift, low-pass window, cut-off, taps, preview coefficients, output rate.

#include "session/session.h"

void Parser_UpdateSignalProcessingStructure(Session &session);
