// The shell word scanner: cuts the shell command at the front of the input into raw words.
#pragma once
#include "core/list.h"
#include "output/trace_lists.h"
#include "shell/syntax.h"

// One raw word: a slice of the input and how much of the input it used.
struct RawWord {
    Str text;      // starts at the input's first byte; may be empty
    i64 consumed;  // input bytes used, terminator included; at least 1
    i32 ends_line; // 1 when the shell command ends after this word
    i32 ordinary;  // 1 when text is not empty and all its bytes are ordinary (see shell_ordinary_run)
};

// The marks carry what earlier words of the same text learnt of its bytes; start them zero. The cuts
// are set for a word that is not ordinary.
RawWord scan_raw_word(Str input, OrdinaryMarks* marks, WordCuts* cuts);

// Consumes one shell command from the front of *input and appends its finished words.
void split_shell_line(Str* input, Arena* arena, StrList* words);

// The trace's lines for the words of a line, or of what is left of them; the list copies from the memo.
void trace_shell_words(Output* err, TraceLists* lists, StrList words);
