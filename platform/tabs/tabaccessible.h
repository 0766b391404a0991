#pragma once

// Lets assistive technology see a TabControl's tabs (role PageTab, named by their
// captions, with their descriptions) ahead of its pages. Called by every TabControl;
// installs the factory once.
void installTabControlAccessibility();
