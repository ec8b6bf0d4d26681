// Reading make's directory lines: their fields once, and the quoted path.
#include "driver/make_line.h"
#include "core/fast_paths.h"

// A directory line's first field ends with a colon and its third is "directory"; its second says
// whether make enters or leaves. The third field starts at offset third of the input.
static MakeLine line_of_fields(Str input, Str maker, Str verb, Str noun, i64 third) {
    MakeLine line = {SHELL, maker, str_skip(input, third)};
    if (!str_ends_with(maker, ":"_s) || !str_equals(noun, "directory"_s)) return MakeLine{SHELL, Str{}, Str{}};
    if (str_equals(verb, "Entering"_s)) line.kind = ENTER_DIR;
    else if (str_equals(verb, "Leaving"_s)) line.kind = LEAVE_DIR;
    else return MakeLine{SHELL, Str{}, Str{}};
    return line;
}

// The general rule: the line is cut at its line feed, then its fields at their spaces.
static MakeLine read_general(Str input) {
    Cut maker = str_cut(str_cut(input, '\n').head, ' ');
    Cut verb = str_cut(maker.tail, ' ');
    i64 third = verb.found ? verb.tail.data - input.data : input.len;
    return line_of_fields(input, maker.head, verb.head, str_cut(verb.tail, ' ').head, third);
}

// The text before the next space or line feed, and where the next field starts: none (-1) when the
// line ends there, since every later field of the line is then empty.
static Str next_field(Str rest, i64* next) {
    i64 end = str_find_any(rest, " \n"_s);
    *next = end >= 0 && str_at(rest, end) == ' ' ? end + 1 : -1;
    return str_take(rest, end >= 0 ? end : rest.len);
}

// The fast kernel: the fields are cut one at a time and the line feed is looked for only as far as
// they reach, since a line that is no directory line is mostly told by its first field.
static MakeLine read_fast(Str input) {
    i64 next = 0;
    Str maker = next_field(input, &next);
    if (next < 0 || !str_ends_with(maker, ":"_s)) return MakeLine{SHELL, Str{}, Str{}};
    i64 second = next;
    Str verb = next_field(str_skip(input, second), &next);
    if (next < 0) return MakeLine{SHELL, Str{}, Str{}};
    i64 third = second + next;
    return line_of_fields(input, maker, verb, next_field(str_skip(input, third), &next), third);
}

MakeLine read_make_line(Str input) { return fast_or_general(read_fast, read_general)(input); }

static const Str directory_quotes = "'\"`"_s;

DirectoryPath read_directory_path(Str input, Str third) {
    Cut fourth = str_cut(third, ' ');
    Str point = str_trim_left(fourth.tail);
    DirectoryPath line = {Str{}, Str{}, !fourth.found};
    if (point.len > 0 && str_find_any(str_take(point, 1), directory_quotes) == 0) {
        point = str_skip(point, 1);
        i64 end = str_find_any(point, directory_quotes);
        line.open |= end < 0;
        if (end < 0) end = str_find_any(point, "\n"_s);
        if (end >= 0) line.path = str_trim(str_take(point, end));
    }
    Cut rest = str_cut(point, '\n');
    line.open |= !rest.found;
    line.rest = rest.found ? rest.tail : Str{0, input.data + input.len};
    return line;
}
