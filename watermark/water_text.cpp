#include "watermark/water_text.h"

#include <cstdio>
#include <ctime>

namespace {

void ReplaceAll(std::string& text, const std::string& field, const std::string& value) {
    for (size_t at = text.find(field); at != std::string::npos; at = text.find(field, at + value.size()))
        text.replace(at, field.size(), value);
}

}  // namespace

std::string ExpandWaterContent(const std::string& text, time_t when) {
    int year = -1, month = -1, day = -1, hour = -1, minute = -1, second = -1;
    struct tm local {};
    if (when != static_cast<time_t>(-1) && localtime_s(&local, &when) == 0) {
        year = local.tm_year + 1900;
        month = local.tm_mon + 1;
        day = local.tm_mday;
        hour = local.tm_hour;
        minute = local.tm_min;
        second = local.tm_sec;
    }
    char date[48], clock[48];
    snprintf(date, sizeof date, " %02i-%02i-%02i ", year, month, day);
    snprintf(clock, sizeof clock, " %02i:%02i:%02i ", hour, minute, second);
    std::string out = text;
    ReplaceAll(out, "${date}", date);
    ReplaceAll(out, "${time}", clock);
    return out + "  ";
}

std::string ExpandWaterContent(const std::string& text) { return ExpandWaterContent(text, time(nullptr)); }
