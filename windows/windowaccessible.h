#pragma once

// Lets assistive technology see the secondary windows as windows (role Window, a
// frame, named by their titles) rather than as anonymous panes. Called by every
// secondary window; installs the factory once.
void installWindowAccessibility();
