#pragma once

class QLineEdit;

namespace mixgen {

// The rule of a box holding a number of songs, run when its text changes: above 100000 it
// becomes "100000", below 1 it becomes "1", and it is written as its number. Each step reads
// the text afresh: a replacement raises the change again, and a text already in shape is left
// alone, so the calls come to rest.
void keepSongCountInRange(QLineEdit* box);

} // namespace mixgen
