#pragma once

namespace brintale {

// What screen readers hear of the windows where Qt's own answer misleads: a window that is a
// plain widget is a frame, not a filler, and a check box in its third state is heard as
// mixed only, not as checked as well. Installs once; later calls do nothing.
void HearWindowsAsShown();

}  // namespace brintale
