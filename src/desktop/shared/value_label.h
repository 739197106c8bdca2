#pragma once
// Labels that show a value (the clock, the heat, the connection's state) read by a
// screen reader as what they show and of what: "Heat status: Running", not a bare
// "Running" that could be any of them, nor only the frame's caption while empty.

#include <QString>

class QLabel;

namespace Value_label {

// The label's accessible name becomes words, a colon and its text as it stands at each
// reading (words alone while it is empty). Its description is its accessible
// description and its tooltip.
void Name(QLabel *label, const QString &words);

} // namespace Value_label
