#include "widgets/ActivityPicture.h"

#include <QPainter>
#include <QPalette>
#include <cstdlib>
#include <span>

namespace {

struct TLine {
  int X1, Y1, X2, Y2;
};

// The grid's lines toward the horizon, in the order they are drawn.
// clang-format off
constexpr TLine FixedLines[] = {
    // top edge to left edge
    {16, 0, 0, 3}, {24, 0, 0, 7}, {34, 0, 0, 11}, {43, 0, 0, 16}, {53, 0, 0, 22},
    {61, 0, 0, 29}, {68, 0, 0, 39}, {75, 0, 0, 50}, {82, 0, 0, 61}, {88, 0, 0, 77},
    {95, 0, 0, 99}, {101, 0, 0, 132},
    // top edge to bottom edge
    {107, 0, 16, 159}, {113, 0, 54, 159}, {119, 0, 90, 159}, {126, 0, 126, 159},
    {133, 0, 161, 159}, {139, 0, 198, 159},
    // top edge to right edge
    {145, 0, 219, 130}, {151, 0, 219, 90}, {158, 0, 219, 62}, {165, 0, 219, 48},
    {171, 0, 219, 36}, {177, 0, 219, 27}, {183, 0, 219, 20}, {191, 0, 219, 14},
    {200, 0, 219, 8}, {209, 0, 219, 3}, {218, 0, 219, 0}};
// clang-format on

// Rows of the cross lines, frame by frame: each moves down through four rows.
constexpr int Frame1Rows[] = {1, 10, 21, 37, 56, 81, 113, 151};
constexpr int Frame2Rows[] = {3, 12, 24, 41, 62, 88, 122};
constexpr int Frame3Rows[] = {5, 15, 28, 46, 68, 96, 131};
constexpr int Frame4Rows[] = {1, 7, 18, 32, 51, 74, 104, 141};

std::span<const int> CrossRows(int& animFrame) {
  switch (animFrame) {
    case 1:
      return Frame1Rows;
    case 2:
      return Frame2Rows;
    case 3:
      return Frame3Rows;
    default:
      animFrame = 0;
      return Frame4Rows;
  }
}

struct TCanvas {
  uchar* Bits;
  qsizetype Stride;
  QRgb Pen;

  void Plot(int x, int y) const {
    if (unsigned(x) < unsigned(PictureWidth) && unsigned(y) < unsigned(PictureHeight))
      reinterpret_cast<QRgb*>(Bits + y * Stride)[x] = Pen;
  }
};

// As a pen moved from the first point to the second: the pixel nearest the
// line at every step, the end point itself left out.
void DrawLine(const TCanvas& canvas, const TLine& line) {
  const int dx = std::abs(line.X2 - line.X1), stepX = line.X1 < line.X2 ? 1 : -1;
  const int dy = -std::abs(line.Y2 - line.Y1), stepY = line.Y1 < line.Y2 ? 1 : -1;
  int x = line.X1, y = line.Y1, error = dx + dy;
  while (x != line.X2 || y != line.Y2) {
    canvas.Plot(x, y);
    const int twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x += stepX;
    }
    if (twice <= dx) {
      error += dx;
      y += stepY;
    }
  }
}

void CopyPictureWindow(QPainter& painter, const TPictureArea& area, const QImage& picture) {
  const QRect source(area.SourceLeft, 0, area.Dest.width(), area.Dest.height());
  const QRect shown = source & picture.rect();
  if (shown != source) painter.fillRect(area.Dest, Qt::black);
  if (!shown.isEmpty())
    painter.drawImage(area.Dest.topLeft() + (shown.topLeft() - source.topLeft()), picture, shown);
}

// The outline of the rectangle from the first corner up to one short of the
// second.
void Outline(QPainter& painter, QPoint first, QPoint second, const QColor& colour) {
  const QPoint last = second - QPoint(1, 1);
  painter.fillRect(QRect(first, QPoint(last.x(), first.y())), colour);
  painter.fillRect(QRect(QPoint(first.x(), last.y()), last), colour);
  painter.fillRect(QRect(first, QPoint(first.x(), last.y())), colour);
  painter.fillRect(QRect(QPoint(last.x(), first.y()), last), colour);
}

// Down from top to corner, then left to end; each stroke stops one short of
// where it goes, the corner belonging to the second.
void DownAndLeft(QPainter& painter, QPoint top, QPoint corner, int endX, const QColor& colour) {
  painter.fillRect(QRect(top, corner - QPoint(0, 1)), colour);
  painter.fillRect(QRect(QPoint(endX + 1, corner.y()), corner), colour);
}

void DrawSunkenFrame(QPainter& painter, const QRect& dest, const QPalette& palette) {
  const int left = dest.left(), top = dest.top();
  const int right = left + dest.width(), bottom = top + dest.height();  // exclusive
  Outline(painter, {left - 2, top - 2}, {right + 2, bottom + 2}, palette.color(QPalette::Dark));
  Outline(painter, {left - 1, top - 1}, {right + 1, bottom + 1}, palette.color(QPalette::Shadow));
  DownAndLeft(painter, {right + 2, top - 2}, {right + 2, bottom + 2}, left - 3,
              palette.color(QPalette::Light));
  DownAndLeft(painter, {right + 1, top - 1}, {right + 1, bottom + 1}, left - 2,
              palette.color(QPalette::Midlight));
}

}  // namespace

TPictureArea PictureArea(int pageWidth, int clientWidth, int stopBottom, int memoTop) {
  TPictureArea area;
  area.Dest =
      QRect(QPoint(pageWidth + 11, stopBottom + 10), QPoint(clientWidth - 9 - 1, memoTop - 10 - 1));
  area.SourceLeft = PictureCentreColumn - area.Dest.width() / 2;
  return area;
}

QImage RenderActivityPicture(const QColor& colour, int& animFrame) {
  QImage picture(PictureWidth, PictureHeight, QImage::Format_RGB32);
  picture.fill(Qt::black);
  const TCanvas canvas{picture.bits(), picture.bytesPerLine(), colour.rgb()};
  for (const TLine& line : FixedLines) DrawLine(canvas, line);
  for (int row : CrossRows(animFrame)) DrawLine(canvas, {0, row, PictureWidth - 1, row});
  return picture;
}

void DrawActivityPicture(QPainter& painter, const TPictureArea& area, const QPalette& palette,
                         const QColor& colour, int& animFrame) {
  const QImage picture = RenderActivityPicture(colour, animFrame);
  if (area.Dest.isEmpty()) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  CopyPictureWindow(painter, area, picture);
  DrawSunkenFrame(painter, area.Dest, palette);
  painter.restore();
}
