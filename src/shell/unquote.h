// Finishing raw shell words: path-word slash normalisation, then removal of shell quoting.
#pragma once
#include "core/list.h"
#include "shell/syntax.h"

// Appends the finished form of a raw word: a word that looks like a relative or drive-letter path has
// its backslashes made slashes, then quotes that quote are dropped, escapes resolved, and brackets and
// substitutions kept verbatim. ordinary says that all the word's bytes are ordinary; the cuts, when
// given, are the scanner's for a word that is not; the marks, when given, are the scanner's for the
// bytes of the word.
void finish_word(Str raw, i32 ordinary, const WordCuts* cuts, OrdinaryMarks* marks, Arena* arena, StrList* words);
