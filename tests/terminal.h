// What a terminal shows of the bytes it was sent, for the tests of the console's status line.
#pragma once
#include <algorithm>
#include <string>

// A carriage return goes back to the line's start and what follows overwrites it (wine's console
// redraws the line after every write that way), "erase to the end of the line" erases, a move of the
// cursor forward moves it, and other sequences (the cursor's visibility, which wine's console adds)
// show nothing.
inline std::string terminal_shows(const std::string& raw) {
    std::string shown, line;
    size_t column = 0;
    for (size_t i = 0; i < raw.size(); i++) {
        char c = raw[i];
        if (c == '\x1b' && i + 1 < raw.size() && raw[i + 1] == '[') {
            size_t end = i + 2;
            while (end < raw.size() && !(raw[end] >= '@' && raw[end] <= '~')) end++;
            if (end == raw.size()) break;
            std::string digits = raw.substr(i + 2, end - i - 2);
            if (raw[end] == 'K') line.resize(std::min(column, line.size()));
            if (raw[end] == 'C') column += digits.empty() ? 1 : std::stoul(digits);
            i = end;
        } else if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            shown += line + "\n";
            line.clear();
            column = 0;
        } else {
            if (column >= line.size()) line.resize(column, ' ');
            if (column < line.size()) line[column] = c;
            else line += c;
            column++;
        }
    }
    return shown + line;
}
