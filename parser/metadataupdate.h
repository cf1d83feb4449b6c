#pragma once
// Update steps that derive the header and trailer lengths, the comment and the sample rate
// from the configuration and the previews, and the metadata view that shows them
// (session.views.metadata). Every function runs on the thread that owns the session and ends
// by notifying SessionChange::Metadata.
//
// The dump colours are kept incrementally: each step first removes the colour it added for its
// old region (using the positions it stored), recomputes, then adds the colour of the new region.

#include <string>

#include "session/session.h"

// Header (which 0) or trailer (which 1) length into session.settings.headerLength or
// trailerLength; messages go to tree item 6 or 9.
void Parser_UpdateMetaLength(Session &session, int which);
// session.metadata.commentItem and session.settings.comment; messages to tree items 12 and 13.
void Parser_UpdateMetaComment(Session &session);
// session.metadata.samplerateItem and session.settings.samplerate (MHz); messages to item 17.
// A binary rate is read in the byte order named by the record's `endianness`.
void Parser_UpdateMetaSamplerate(Session &session);

// The container facts of the analysed file read as `kind` (read once per file and kind): the
// values that the configuration takes from each job's own file.
const LayoutReading &Parser_ContainerFacts(Session &session, ContainerKind kind);

// The two dumps and the current values table.
enum MetaTable : int { kTableHeader = 0, kTableTrailer = 1 };

inline DumpTable &Parser_MetaDump(Session &session, MetaTable table)
{
    return table == kTableHeader ? session.views.metadata.header : session.views.metadata.trailer;
}

// Fills both dumps and the previews from the open input (session.files.inputHandleI) and puts
// the markers on the first byte of the header dump and the last byte of the trailer dump. All
// lengths and positions become unknown; the update steps above recompute them. Without input,
// or with less than 16 bytes of it, the page is emptied instead.
void Parser_UpdateMetadata(Session &session);
// Returns the page to its empty state: no rows to show, the dump labels "Header Preview" and
// "Trailer Preview", the messages of tree items 6, 9, 12, 13 and 17 cleared, every length and
// position unknown, the position rows read-only with value 0.
void Parser_ClearMetadata(Session &session);
// Colours the three cells of byte `position`: relative 1 adds the channel values; relative 0
// sets them, a negative value keeping the channel. A position outside the dump is ignored.
void Parser_SetMetaColor(DumpTable &table, int position, int red, int green, int blue, int relative);
// Adds the channel values to every byte from..to; nothing unless both are >= 0.
void Parser_UpdateMetaIndication(DumpTable &table, int from, int to, int red, int green, int blue);
// Moves the marker of one dump from oldPosition to newPosition (0 .. metaPreviewLength − 1;
// any other newPosition is ignored), makes that byte's first hex cell the active cell and shows
// the position in row 1 or 2 of the current values table.
void Parser_UpdateMetaMarker(Session &session, MetaTable table, int oldPosition, int newPosition);
// The byte of a dump cell (row and column 1-based): a byte's two digit cells and the spacer
// after them give that byte, the spacer columns 49 to 54 byte 15, a character column its byte.
// -1 for a cell outside the 70 columns or above row 1.
[[nodiscard]] int Parser_MetaCellByte(int row, int column);

// The user's input on the "Metadata Analysis" page. The marker of a dump is where dump.marker
// says; the configuration does not change (the user reads positions off and types them into
// the tree).
// A click on cell (row, column) of a dump: its marker moves to that cell's byte. Returns 1 when
// the marker moved.
[[nodiscard]] int onMetaTable(Session &session, MetaTable table, int row, int column);
// A position typed into row `row` (kRowHeaderPosition or kRowTrailerPosition) of the current
// values table: that dump's marker moves there. Text that is not a whole number of the dump's
// range (0 .. metaPreviewLength - 1), and any other row, are refused: the row shows the
// marker's position again and 0 is returned; 1 when the marker moved.
[[nodiscard]] int onMetaCurrentValues(Session &session, int row, const std::string &text);

// Recolour rows 1/2, 5 and 6 of the current values table.
void Parser_UpdateMetaMarkerPositionColor(Session &session, MetaTable table);
void Parser_UpdateMetaCommentCurrentValueColor(Session &session);
void Parser_UpdateMetaSamplerateCurrentValueColor(Session &session);
// Shows every row of the current values table from the state: the marker positions, the
// lengths (0 and grey while unknown), the comment and the sample rate, each with its colour.
void Parser_UpdateMetaCurrentValues(Session &session);
