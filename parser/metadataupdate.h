#pragma once
// Update steps that derive the header and trailer lengths, the comment and the sample rate
// from the configuration and the previews, and the metadata view that shows them.

#include "configuration/session.h"

// Header (which 0) or trailer (which 1) length.
void Parser_UpdateMetaLength(Session &session, int which);
void Parser_UpdateMetaComment(Session &session);
void Parser_UpdateMetaSamplerate(Session &session);

// The two dumps and the current values table.
enum MetaTable : int { kTableHeader = 0, kTableTrailer = 1 };

// Fills both dumps and the previews from the open input.
void Parser_UpdateMetadata(Session &session);
// Returns the page to its empty state.
void Parser_ClearMetadata(Session &session);
// Colours the three cells of byte `position`: relative 1 adds the channel values; relative 0
// sets them, a negative value keeping the channel.
void Parser_SetMetaColor(DumpTable &table, int position, int red, int green, int blue, int relative);
// Adds the channel values to every byte from..to (both >= 0).
void Parser_UpdateMetaIndication(DumpTable &table, int from, int to, int red, int green, int blue);
// Moves the marker of one dump.
void Parser_UpdateMetaMarker(Session &session, MetaTable table, int oldPosition, int newPosition);
// Recolour rows 1/2, 5 and 6 of the current values table.
void Parser_UpdateMetaMarkerPositionColor(Session &session, MetaTable table);
void Parser_UpdateMetaCommentCurrentValueColor(Session &session);
void Parser_UpdateMetaSamplerateCurrentValueColor(Session &session);
