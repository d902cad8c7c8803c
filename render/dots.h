#pragma once

#include <cstdint>

// Millimetres to dots at `dpi` dots per inch, the way printer commands count
// them (feeds, references): the product is formed in 64 bits, divided by 25.4
// and truncated toward zero, and the result is clamped to the int range so
// that no setting or resolution, however hostile, makes it undefined.
//
// Page preparation rounds up instead (CBaseRender::mm_2_dots): a crop limit
// must never cut into a dot it was not asked to.
int DotsFromMm(int mm, int dpi);
