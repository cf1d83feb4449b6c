#pragma once
// Redraw requests for the IQ, end-of-loop and signal processing previews. The plots are
// computed by the preview module of the views from the session's settings and input; core
// steps only say when the shown data became stale.

#include "session/session.h"

// The loop seam of the current interval is stale.
void Parser_UpdateEolPlots(Session &session);

// The IQ and signal processing previews are stale, as after a change of the file position.
void onIqFilePosition(Session &session);
