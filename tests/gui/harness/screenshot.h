// Screenshots of what a person sees: the whole screen, which under the test
// run's Wine is its virtual desktop. The screen is copied with GDI (BitBlt of
// the screen device context) into <build>/artifacts/gui/<name>.bmp; when the
// host has ImageMagick (/usr/bin/convert, run by Wine as a Unix program) a
// .png is written beside it. Copying through GDI shows exactly the Wine
// desktop of this run, whatever else is on the X display.
#pragma once

#include <string>

namespace gui_harness {

// The directory the screenshots go to (created on first use).
std::string ArtifactDirectory();

// Saves the screen as <name>.bmp (and <name>.png where it can); returns the
// .bmp's path, or "" when the screen could not be copied.
std::string SaveScreenshot(const std::string& name);

}  // namespace gui_harness
