// check/: what `vortane --check` adds to the readers. This unit holds the
// rules that only look: each line of a description file is held against
// its format's key table (core/vtKeysU.h) for what the reader would read
// differently from how the line looks. The lines come from the reader the
// player uses (vtText), so comments and line ends count exactly as there.
//
// Findings go to the installed sink (core/vtFindingsU.h). Any thread.
#pragma once

#include <string>
#include <string_view>

struct vtKeyTable;

// Reads fileName (an engine path) and reports what its lines hide, and, as
// an error, an end inside an open block by the reader's own rule (the one
// that makes a live reload refuse the file). A file that cannot be opened
// gives nothing here: the loaders report it.
void LookAtLines(const std::string& fileName, const vtKeyTable& table);

// The key of table nearest to word when it is a likely misspelling (at
// most two edits, fewer for short names); empty when none is.
std::string_view NearestKey(std::string_view word, const vtKeyTable& table);
