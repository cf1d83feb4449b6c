#pragma once
// The status log: one row per message, oldest first, never deleted while the program runs.

#include <string>
#include <vector>

enum class StatusIcon { Ok, Question, Error };

struct StatusRow {
    StatusIcon icon = StatusIcon::Ok;
    std::string time;    // "HH:MM:SS", local time of day when the row was added
    std::string text;
    bool dimmed = false; // every row but the newest is dimmed
};

struct StatusLog {
    std::vector<StatusRow> rows;
};

// Appends one row with the current time and dims the row before it.
void Gui_UpdateStatus(StatusLog &log, const std::string &text, StatusIcon icon);
