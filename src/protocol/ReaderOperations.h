#pragma once

#include "core/Outcome.h"
#include "link/OperationContext.h"

namespace rq {

// The four commands of the Programming menu. Each tries USB first and falls back to the
// serial ports when no reader answers there; each leaves LinkStatus empty when it ends.
// Each returns Done only when the reader confirmed it.

// "Write settings to 4720": sends the window's settings as one settings block. A text
// character the reader cannot store refuses the write before any device is touched.
Outcome WriteSettingsToReader(OperationContext& ctx);

// "Read settings from 4720": fetches the settings block and shows it in the fields.
Outcome ReadSettingsFromReader(OperationContext& ctx);

// "Reset 4720 settings to default": asks first, then has the reader restore its defaults.
Outcome ResetReaderToDefaults(OperationContext& ctx);

// "Read version from 4720": shows the reader's version text in the status area.
Outcome ReadFirmwareVersion(OperationContext& ctx);

}  // namespace rq
