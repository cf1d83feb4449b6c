#pragma once
// The analysed job: the input file or files that the analysis pages show and from which the
// file-dependent settings are derived (normally job 1; the conversion worker switches its own
// copy from job to job).

#include "session/session.h"

// Brings the analysis state up for a new session: nothing open, all lengths and positions
// unknown, the pages empty with their hints.
void Parser_Init(Session &session);

// Closes the analysed files.
void Parser_Terminate(Session &session);

// Makes the named file(s) the analysed job and derives everything again. pathI is the
// combined IQ file or the I file, pathQ the Q file; null or empty for none.
void Parser_Job1Changed(Session &session, const char *pathI, const char *pathQ);

// Re-derives the IQ structure settings (format, set layout, byte order, scale, DC offsets and
// the interval) with their checks, then the signal processing settings.
void Parser_UpdateIqStructure(Session &session);

// Empty the IQ and the signal processing pages.
void Parser_ClearIq(Session &session);
void Parser_ClearSignalProcessing(Session &session);
