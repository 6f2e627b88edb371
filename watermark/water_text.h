#pragma once
// The watermark template's fields.
#include <ctime>
#include <string>

// The template with every "${date}" replaced by " YYYY-MM-DD " and then every
// "${time}" by " HH:MM:SS " (local time of `when`; both with a space on each
// side), followed by two spaces. When the local time is unknown every number
// is -1.
std::string ExpandWaterContent(const std::string& text, time_t when);
// The same at the present moment.
std::string ExpandWaterContent(const std::string& text);
