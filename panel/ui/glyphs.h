#pragma once

#include <QIcon>

// The pictures of the glyph buttons and of the menu items, drawn in code so
// that the program carries no resource files.
QIcon GlyphClose();     // bbClose: arrow toward the closed end
QIcon GlyphStop();      // bbStop: a red square
QIcon GlyphScanStop();  // bbScanStop: the scan's magnifier, struck through
QIcon GlyphStopOff();   // bbStopOff: a power mark
QIcon GlyphOpen();      // bbOpen: arrow toward the open end
QIcon GlyphScan();      // bbScanStart: a magnifier
QIcon GlyphSelect();    // bbSelect: a tick
QIcon GlyphExit();      // mnExit: a door with an arrow
QIcon GlyphAbout();     // mnAbout: an "i" in a circle
QIcon GlyphRead();      // reading from the drive: arrow down into a tray
QIcon GlyphWrite();     // writing to the drive: arrow up out of a tray
QIcon GlyphFileOpen();  // a folder
QIcon GlyphFileSave();  // a disk
