#include "configuration/statuslog.h"

#include <ctime>

namespace {

// The local time of day as "HH:MM:SS".
std::string TimeOfDay()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

}  // namespace

void Gui_UpdateStatus(StatusLog &log, const std::string &text, StatusIcon icon)
{
    if (!log.rows.empty()) log.rows.back().dimmed = true;
    log.rows.push_back(StatusRow{icon, TimeOfDay(), text, false});
}
