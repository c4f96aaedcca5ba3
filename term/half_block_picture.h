#pragma once

#include <QByteArray>
#include <QImage>

namespace quillet::term {

/// How many colours the terminal shows.
enum class TerminalColours {
  Plain,       // none asked for (NO_COLOR, a dumb or unknown terminal): blocks only
  Palette256,  // TERM names a 256-colour terminal
  TrueColour,  // COLORTERM says truecolor or 24bit
};

/// What the environment says: NO_COLOR (not empty) or TERM unset or "dumb"
/// mean Plain; COLORTERM "truecolor"/"24bit" means TrueColour; a TERM with
/// "256color" in it Palette256; anything else Plain.
TerminalColours terminalColours();

/// `image` drawn for a terminal: each character cell shows two pixels, one
/// above the other. In colour the cell is the upper half block "▀" whose
/// foreground is one pixel and background the pixel below it (24-bit or the
/// nearest of the 256-colour palette); plain, the dark pixels are drawn with
/// "▀", "▄" or "█" in the terminal's own colour and no escape sequence at all.
/// A W×H picture takes W columns and ⌈H/2⌉ lines. In colour every line ends
/// with a colour reset and a line break. Empty for a null image.
QByteArray halfBlockPicture(const QImage& image,
                            TerminalColours colours = TerminalColours::TrueColour);

}  // namespace quillet::term
