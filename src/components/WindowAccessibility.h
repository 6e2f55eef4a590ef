#pragma once

// Assistive technology sees a window built on a plain widget or frame as a
// bare panel. The rule installed here announces such windows as what they
// are: a dialog when the window is one, a window otherwise.
namespace WindowAccessibility {

// Installs the rule once; every top-level window built on a plain widget
// calls it in its constructor.
void install();

} // namespace WindowAccessibility
