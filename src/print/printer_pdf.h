// The PDF page as it is handed to a printer queue. Cairo marks every page as
// a transparency group; a PostScript queue's filters (Ghostscript's
// ps2write) then turn the whole page into one 300-dpi image: the fonts are
// lost and the narrow bars come out 14 to 20 twips wide instead of 15.
// Nothing on the boleto is drawn with transparency, so the mark is dropped:
// the document is rewritten by libqpdf, loaded on first use, in memory or
// from one open file into another (a batch of many pages). Touches: memory,
// the files handed in (and the dynamic loader).
#pragma once

#include <string>

#include "platform/status.h"

namespace boleto {

// The document with no page-level transparency group; a printer failure
// (482) where libqpdf cannot be loaded or cannot read or write it.
Result<std::string> WithoutPageGroups(const std::string& pdf);

// The same for the document in the open file `from`, written into the empty
// open file `to` (both read through /proc/self/fd).
Status WithoutPageGroups(int from, int to);

}  // namespace boleto
