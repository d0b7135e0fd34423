#pragma once
// Choices about the display made before the application object exists.

namespace talvern {

// On an X display the program flushes small areas often (the status line's connection animation,
// twenty times a second). Through shared memory every flush waits for the X server's completion
// event, which wakes the program four times a tick instead of once and more than doubles what it
// costs while it sits connected; sent on the connection, a small area costs one write. So shared
// memory is left off unless the operator's environment says otherwise: QT_XCB_NO_MITSHM already
// set is left as it is, and TALVERN_XCB_SHM=1 keeps shared memory. Large repaints (a page of the
// grid) take about a fifth longer that way, still about a millisecond. Call before QApplication.
void prepareDisplay();

} // namespace talvern
