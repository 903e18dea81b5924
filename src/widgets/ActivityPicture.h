#pragma once
#include <QColor>
#include <QImage>
#include <QRect>

class QPainter;
class QPalette;

// The activity picture: a perspective grid whose cross lines advance while a
// query runs. The picture is 220 x 160 pixels; the window shows a part of it
// (centred on column 120) right of the tab control, in a sunken frame.
inline constexpr int PictureWidth = 220;
inline constexpr int PictureHeight = 160;
inline constexpr int PictureCentreColumn = 120;

inline constexpr QColor PictureRestColour{0, 128, 0};  // repaint of the window
inline constexpr QColor PictureTickColour{0, 255, 0};  // each tick of a running ticker
inline constexpr QColor PictureStopColour{0, 136, 0};  // once when the ticker stops

// Where the picture goes, in client coordinates.
struct TPictureArea {
  QRect Dest;          // the part of the picture shown; empty: nothing is drawn
  int SourceLeft = 0;  // picture column shown at Dest.left() (may be negative)

  // Dest with its sunken frame: what a repaint of the picture must cover.
  QRect Bounds() const { return Dest.adjusted(-2, -2, 3, 3); }
};

// The area from the control positions: pageWidth = PageControl width,
// clientWidth, stopBottom = Stop_Btn top + height, memoTop = ExtMemo top.
TPictureArea PictureArea(int pageWidth, int clientWidth, int stopBottom, int memoTop);

// The whole 220 x 160 picture for animFrame in colour on black. Frames 1 to 3
// keep animFrame; any other value draws frame 4 and sets animFrame to 0.
QImage RenderActivityPicture(const QColor& colour, int& animFrame);

// Draws the part of the picture the area shows (black beyond the picture's
// edges), then its sunken frame in the palette's Dark, Shadow, Light and
// Midlight colours. Resets animFrame as RenderActivityPicture does, also
// when the area is empty.
void DrawActivityPicture(QPainter& painter, const TPictureArea& area, const QPalette& palette,
                         const QColor& colour, int& animFrame);
